#include <map>

#include "tests/board/board_fixture.h"

namespace quarzello::board_test {

namespace {

using Cell = std::pair<int, int>;

class RemovalTest : public BoardTest {
 protected:
  void LoadFullBoard() { LoadBoard(std::vector<std::string>(kRows, "01230123012301230")); }

  // Fly-off direction of each removed stone, by the cell it was removed from.
  std::map<Cell, int> RemoveAndCollectDirections(const std::vector<Cell>& cells) {
    std::map<const stone*, Cell> where;
    for (auto [c, r] : cells) where[game.world.board(c, r).get()] = {c, r};
    MarkCells(cells);
    RemoveMarked();
    std::map<Cell, int> directions;
    for (const auto& s : game.world.removedStones) directions[where.at(s.get())] = s->w;
    game.world.removedStones.clear();
    return directions;
  }

  // The bottom row's stones before a removal, by column.
  std::vector<stone*> BottomRow() const {
    std::vector<stone*> row;
    for (int c = 0; c < kColumns; ++c) row.push_back(game.world.board(c, kRows - 1).get());
    return row;
  }
};

TEST_F(RemovalTest, StonesFlyAwayFromTheCentreOfTheBoundingBox) {
  LoadFullBoard();
  using Directions = std::map<Cell, int>;
  EXPECT_EQ(RemoveAndCollectDirections({{3, 18}, {4, 18}}), (Directions{{{3, 18}, 180}, {{4, 18}, 1}}));
  EXPECT_EQ(RemoveAndCollectDirections({{5, 17}, {5, 18}}), (Directions{{{5, 17}, -90}, {{5, 18}, 90}}));
  EXPECT_EQ(RemoveAndCollectDirections({{7, 18}}), (Directions{{{7, 18}, 0}}));
  // An L: the box's centre (11, 17) is empty, so every stone flies, the one
  // straight right of it at 1 degree; the stones' average would be elsewhere.
  EXPECT_EQ(RemoveAndCollectDirections({{10, 18}, {11, 18}, {12, 18}, {12, 17}, {12, 16}}),
            (Directions{{{10, 18}, 135}, {{11, 18}, 90}, {{12, 18}, 45}, {{12, 17}, 1}, {{12, 16}, -45}}));
  // A 3 x 3 block: only its middle stone stays in place.
  const auto block = RemoveAndCollectDirections(
      {{1, 14}, {2, 14}, {3, 14}, {1, 15}, {2, 15}, {3, 15}, {1, 16}, {2, 16}, {3, 16}});
  EXPECT_EQ(block.at({2, 15}), 0);
  EXPECT_EQ(block.at({3, 15}), 1);
  EXPECT_EQ(block.at({1, 14}), -135);
}

TEST_F(RemovalTest, StonesAboveFallIntoTheGapsAndKeepTheirPositions) {
  LoadFullBoard();
  stone* top = game.world.board(6, 0).get();
  stone* between = game.world.board(6, 17).get();
  stone* lowest = game.world.board(6, 18).get();
  lowest->x = 123.0f;  // where it was drawn last
  MarkCells({{6, 18}, {6, 16}});
  RemoveMarked();

  EXPECT_EQ(game.world.board(6, 0), nullptr);
  EXPECT_EQ(game.world.board(6, 1), nullptr);
  EXPECT_EQ(game.world.board(6, 2).get(), top);
  EXPECT_EQ(game.world.board(6, 18).get(), between);
  EXPECT_EQ(between->y, CellCentreY(17));  // glides later, not here
  ASSERT_EQ(game.world.removedStones.size(), 2u);
  EXPECT_EQ(game.world.removedStones[0].get(), lowest);  // bottom up
  EXPECT_EQ(lowest->mode, Removed);
  EXPECT_EQ(lowest->x, 123.0f);
}

TEST_F(RemovalTest, TurboRefillsEveryColumnFromTheTop) {
  LoadFullBoard();
  game.feedFromTop = 1;
  stone* top = game.world.board(4, 0).get();
  MarkCells({{4, 18}, {9, 17}, {9, 18}});
  RemoveMarked();

  EXPECT_EQ(CountStones(game.world.board), kColumns * kRows);
  EXPECT_EQ(game.world.board(4, 1).get(), top);
  for (auto [c, r] : std::vector<Cell>{{4, 0}, {9, 0}, {9, 1}}) {
    const stone* fresh = game.world.board(c, r).get();
    EXPECT_EQ(fresh->mode, Appearing);
    EXPECT_EQ(fresh->x, CellCentreX(c));
    EXPECT_EQ(fresh->y, 65.0f);
  }
}

TEST_F(RemovalTest, NoNewStonesOnceTheGameIsOver) {
  LoadFullBoard();
  game.feedFromTop = 1;
  game.sideSupplyOn = 1;
  game.sideSupply = 5;
  game.gameOverState = 2;
  for (auto& cell : game.world.board.cells) cell->mode = Marked;
  RemoveMarked();
  EXPECT_EQ(CountStones(game.world.board), 0);
  EXPECT_EQ(game.world.removedStones.size(), static_cast<size_t>(kColumns * kRows));
  EXPECT_EQ(game.sideSupply, 5);
}

TEST_F(RemovalTest, LastSuppliedColumnIsPushedOnByTheNextGap) {
  LoadBoard({"01230123012301230"});
  game.sideSupplyOn = 1;
  game.sideSupply = 1;
  const auto before = BottomRow();
  MarkCells({{2, 18}, {5, 18}});
  RemoveMarked();

  EXPECT_EQ(game.sideSupply, 0);
  EXPECT_EQ(game.world.board(0, 18), nullptr);
  for (int r = 0; r < kRows; ++r) {
    const stone* supplied = game.world.board(1, r).get();
    ASSERT_NE(supplied, nullptr);
    EXPECT_EQ(supplied->x, 10.0f);
    EXPECT_EQ(supplied->y, CellCentreY(r));
  }
  const auto after = BottomRow();
  EXPECT_EQ(std::vector(after.begin() + 2, after.begin() + 6),
            (std::vector{before[0], before[1], before[3], before[4]}));
  EXPECT_EQ(std::vector(after.begin() + 6, after.end()), std::vector(before.begin() + 6, before.end()));
}

TEST_F(RemovalTest, HalvesCloseTowardTheMiddle) {
  LoadBoard({"01230123012301230"});
  game.sideSupply = 3;  // side supply is off
  const auto before = BottomRow();
  MarkCells({{8, 18}, {9, 18}});
  RemoveMarked();

  const auto after = BottomRow();
  EXPECT_EQ(after[0], nullptr);
  EXPECT_EQ(after[16], nullptr);
  EXPECT_EQ(std::vector(after.begin() + 1, after.begin() + 9), std::vector(before.begin(), before.begin() + 8));
  EXPECT_EQ(std::vector(after.begin() + 9, after.begin() + 16), std::vector(before.begin() + 10, before.end()));
  EXPECT_EQ(game.sideSupply, 3);
}

TEST_F(RemovalTest, OneSuppliedColumnServesOnlyTheFirstGap) {
  LoadBoard({"01230123012301230"});
  game.sideSupplyOn = 1;
  game.sideSupply = 1;
  MarkCells({{3, 18}, {12, 18}});
  RemoveMarked();
  EXPECT_EQ(game.sideSupply, 0);
  EXPECT_EQ(game.world.board(0, 0)->x, 10.0f);
  EXPECT_EQ(game.world.board(16, 18), nullptr);

  LoadBoard({"01230123012301230"});
  game.sideSupply = 2;
  MarkCells({{14, 18}});
  RemoveMarked();
  EXPECT_EQ(game.sideSupply, 1);
  EXPECT_EQ(game.world.board(16, 0)->x, 390.0f);
  EXPECT_EQ(game.world.board(16, 0)->y, CellCentreY(0));
}

}  // namespace

}  // namespace quarzello::board_test
