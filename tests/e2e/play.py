"""Playing the real game from an end-to-end test: through the menus into a
game, finding a group on a board dealt from a fixed seed, and waiting for the
end of a Level game. Every step after an input waits for the screen it leads
to; nothing sleeps for a fixed time and hopes."""

from harness import E2EFailure
from test_menus import is_game, title_width

SEED = {"QUARZELLO_SEED": "20261208"}  # the same boards in every run
PARK = (200, 485)                      # below the board and every menu entry
MENU_ROWS = {"first": 165, "second": 215, "third": 265}
BOARD_BOX = (30, 90, 370, 470)
LOWER_BOARD = (30, 150, 370, 470)      # the board below the "GAME OVER" message
SCORE_BOX = (40, 26, 117, 52)          # the score panel of the head-up display
BAR_END = (379, 67)                    # last pixels of the Level progress bar
COLUMNS, ROWS = 17, 19


def cell_centre(c, r):
    return 40 + 20 * c, 100 + 20 * r


def click_at(game, x, y):
    """A left click at design (x, y). xdotool's synchronous move waits in vain
    when the pointer is already there, so it is moved only when it must be."""
    if game.pointer == (x, y):
        game.click()
    else:
        game.click(x, y)


def park(game):
    if game.pointer != PARK:
        game.move(*PARK)


def choose(game, row, arrived, name):
    """Clicks a menu entry and waits for the screen it leads to."""
    click_at(game, 200, MENU_ROWS[row])
    park(game)
    return game.wait_for(arrived, name)


def start(game, mode, difficulty=None):
    """From the main menu into a game of that mode (and difficulty); returns
    the board once the stones that fly in have come to rest. A Level board
    never rests for long (a row rises every few seconds, and the machine may
    be slow to take pictures), so there the first picture with a pair in
    its bottom rows will do."""
    park(game)
    game.menu = game.wait_stable("menu")
    modes = choose(game, "first", lambda shot: title_width(shot) > 0, "mode")  # "Spielen"
    if difficulty is not None:
        choose(game, mode, lambda shot: title_width(shot) > title_width(modes) + 20, "difficulty")
        choose(game, difficulty, is_game, "game")
        return game.wait_stable("settled", box=BOARD_BOX)
    choose(game, mode, is_game, "game")
    return game.wait_for(lambda shot: find_pair(shot) is not None, "settled")


def advance(game, at, previous, box, name):
    """Clicks a design point and waits until the picture inside box has
    changed from previous and then holds still. Compares screens with one
    another, not with the pictures they are drawn from, so it serves at any
    window size and in any language."""
    click_at(game, *at)
    park(game)
    game.wait_for(lambda shot: shot.count_diff(previous, box, threshold=12) > 50, name)
    return game.wait_stable(name, box=box)


TITLE_BOX = (0, 85, 400, 112)   # the question of the mode and difficulty screens
BOTTOM_STRIP = (0, 475, 400, 500)  # menu background above, game background below


def start_by_pictures(game, mode, difficulty):
    """From the main menu into a Classic or Turbo game, as start() does, but
    knowing each screen only by its change from the one before."""
    park(game)
    menu = game.wait_stable("menu")
    modes = advance(game, (200, MENU_ROWS["first"]), menu, TITLE_BOX, "mode")
    difficulties = advance(game, (200, MENU_ROWS[mode]), modes, TITLE_BOX, "difficulty")
    advance(game, (200, MENU_ROWS[difficulty]), difficulties, BOTTOM_STRIP, "game")
    return game.wait_stable("settled", box=BOARD_BOX)


def score_changed(before):
    return lambda shot: shot.diff_box(before, SCORE_BOX) is not None


def stone_colour(shot, c, r):
    x, y = cell_centre(c, r)
    return shot.pixel(x - 6, y)  # on the coloured ring, beside the symbol


def removable_colour(colour):
    # Empty cells and rocks are grey.
    return max(colour) - min(colour) > 60


def same_colour(a, b):
    return all(abs(p - q) <= 24 for p, q in zip(a, b))


def find_pair(shot, rows=(18, 17, 16)):
    """A cell of these rows whose right or upper neighbour has its colour."""
    for r in rows:
        for c in range(COLUMNS):
            here = stone_colour(shot, c, r)
            if not removable_colour(here):
                continue
            if c + 1 < COLUMNS and same_colour(here, stone_colour(shot, c + 1, r)):
                return c, r
            if r > 0 and same_colour(here, stone_colour(shot, c, r - 1)):
                return c, r
    return None


def remove_a_pair(game, before, name, attempts=6):
    """Clicks a pair seen on the board (in before, at first) until the score
    shows new points. A Level row may push the board up between picture and
    click, or a picture may catch the board on its way up; then the next
    attempt looks again."""
    board = before
    for attempt in range(attempts):
        if attempt:
            board = game.screenshot(f"{name}-board")
        cell = find_pair(board)
        if cell is None:
            continue
        click_at(game, *cell_centre(*cell))
        park(game)
        try:
            return game.wait_for(score_changed(before), f"{name}-scored", timeout=4)
        except E2EFailure:
            pass
    raise E2EFailure(f"no click on a pair scored ({name}; last board: {board.path})")


def wait_level_game_over(game, empty_bar, name):
    """Waits until a Level game is over: the bar stays full and the last row
    has come to rest. Ten rows bring the board to the top: 2.1 s and nine
    intervals of 2.84 s."""
    return game.wait_stable(name, timeout=120, box=LOWER_BOARD,
                            predicate=lambda shot: shot.pixel(*BAR_END) != empty_bar)
