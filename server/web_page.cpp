#include "server/web_page.h"

#include "server/web_text.h"

namespace highscored {

const char* const kStonesPicture = "stones.png";
const char* const kTitlePicture = "title.png";
const char* const kIconPicture = "icon.png";

namespace {

// The stones of the picture strip, in its order.
enum StoneColour { kRed, kOrange, kGreen, kBlue, kRock };

// Colours of the game: its two text colours, the pale sky and board of its
// backgrounds, the frame and panel tints of its head-up display.
constexpr const char* kStyle = R"(
*{box-sizing:border-box}
html{background:#ccdae5}
body{margin:0;min-height:100vh;color:#4f585e;font:16px/1.4 "DejaVu Sans","Lucida Grande",Verdana,sans-serif;
background:linear-gradient(#e6eef4,#ccdae5) fixed}
a{color:inherit}
.page{max-width:680px;margin:0 auto;padding:12px 12px 24px}
header{text-align:center;padding:8px 0 4px}
h1{margin:0;line-height:0}
h1 img{width:200px;height:45px}
.subtitle{margin:2px 0 10px;color:#62748a;font-size:14px}
.rankings{display:grid;grid-template-columns:1fr;gap:8px;margin-bottom:12px}
@media (min-width:600px){.rankings{grid-template-columns:1fr 1fr auto}}
.panel{padding:4px 7px 7px;border:1px solid #b0c0cc;border-radius:9px;
background:linear-gradient(rgba(255,255,255,.82),rgba(236,243,248,.7));box-shadow:0 2px 5px rgba(60,84,104,.16)}
.label{display:block;text-align:center;color:#627482;font-size:14px}
.field{display:flex;gap:2px;padding:3px;border:1px solid #b0c0cc;border-radius:6px;background:#e5ecf1}
.tab{flex:1;display:flex;align-items:center;justify-content:center;gap:4px;min-height:34px;padding:2px 6px;
border-radius:5px;text-decoration:none;white-space:nowrap;font-size:15px}
.tab::before{content:"";flex:none;width:20px;height:20px;background:url(web/stones.png) 0 0/100px 20px no-repeat}
.s1::before{background-position:-20px 0}.s2::before{background-position:-40px 0}
.s3::before{background-position:-60px 0}
.tab:hover,.tab:focus{background:radial-gradient(closest-side,#fff,rgba(255,255,255,0))}
.tab.current{color:#2f373a;font-weight:bold;background:#fff;box-shadow:inset 0 0 0 1px #96aabb}
.board{padding:10px 12px 12px;border:3px solid #fafcfd;border-radius:10px;outline:1px solid #96aaba;
background:repeating-linear-gradient(90deg,#dbe4eb 0 20px,#d4dee6 20px 40px);box-shadow:inset 0 6px 6px -6px rgba(70,96,116,.5)}
h2{margin:0 0 6px;text-align:center;color:#2f373a;font-size:26px;font-weight:normal}
table{width:100%;border-collapse:separate;border-spacing:0 3px;table-layout:fixed}
th{font-size:13px;font-weight:normal;color:#62748a;padding:0 6px 4px;text-align:left}
td{padding:0 6px;height:2.1em}
td.name{overflow-wrap:anywhere}
th.place,td.place{width:3.6em;text-align:right}
th.points,td.points{width:6em;text-align:right}
tr.new td{color:#2f373a;font-weight:bold;background:rgba(255,255,255,.72)}
tr.new td.place{border-radius:8px 0 0 8px}tr.new td.points{border-radius:0 8px 8px 0}
.new-mark{display:inline-block;margin-left:6px;padding:0 5px;border-radius:4px;font-size:11px;line-height:16px;
vertical-align:2px;font-weight:bold;color:#fff;background:#d63a42}
td.empty{text-align:center;font-style:italic}
.verified,.unverified{display:inline-block;margin-left:6px;width:18px;height:16px;border-radius:4px;font-size:12px;
line-height:16px;text-align:center;vertical-align:1px;text-decoration:none;font-weight:bold}
.verified{color:#fff;background:#3c8d4f}.unverified{color:#62748a;border:1px solid #96aabb;line-height:14px}
.pages{display:flex;align-items:center;justify-content:center;gap:16px;margin-top:10px}
.arrow{display:inline-flex;align-items:center;justify-content:center;width:40px;height:34px;border:1px solid #b0c0cc;
border-radius:6px;background:linear-gradient(#fff,#e5ecf1);text-decoration:none;font-weight:bold;color:#2f373a}
.arrow.off{opacity:.35}
.legend{margin:12px 0 0;font-size:13px;text-align:center}
footer{margin-top:14px;text-align:center;font-size:13px}
@media (max-width:420px){.page{padding:8px 6px 16px}.board{padding:8px 4px}td,th{padding-left:4px;padding-right:4px}
th.place,td.place{width:2.8em}th.points,td.points{width:4.8em}}
@media (min-width:1200px){.page{max-width:760px}body{font-size:18px}h2{font-size:30px}}
)";

// The language the page is drawn in, and what its links say of it.
struct PageText {
  Language language = kGerman;
  std::string linkSuffix;  // "&amp;lang=en" when the query asked for it

  explicit PageText(PageLanguage page) : language(page.language) {
    // A language the service speaks is a catalogue's name: letters, "_" and at most one "@".
    if (page.fromQuery) linkSuffix = "&amp;lang=" + ReplacedAt(page.language);
  }
  static std::string ReplacedAt(const std::string& language) {
    const size_t at = language.find('@');
    return at == std::string::npos ? language : language.substr(0, at) + "%40" + language.substr(at + 1);
  }
  std::string operator()(std::string_view german, std::initializer_list<std::string_view> values = {}) const {
    return Translate(german, language, values);
  }
};

std::string Link(int ranking, int64_t page, const PageText& text) {
  std::string href = "?mode=" + std::to_string(ranking);
  if (page != 1) href += "&amp;page=" + std::to_string(page);
  return href + text.linkSuffix;
}

std::string Title(int ranking, const PageText& text) {
  const std::string difficulty = DifficultyName(ranking);
  return difficulty.empty() ? ModeName(ranking) : ModeName(ranking) + " " + text(difficulty);
}

int StoneOf(int ranking) {
  if (DifficultyName(ranking).empty()) return kBlue;
  static const int kByDifficulty[] = {kGreen, kOrange, kRed};
  return kByDifficulty[ranking % 3];
}

std::string Tab(int ranking, int current, const PageText& text) {
  const std::string label = DifficultyName(ranking).empty() ? ModeName(ranking) : text(DifficultyName(ranking));
  std::string tab = "<a class=\"tab s" + std::to_string(StoneOf(ranking));
  if (ranking == current) tab += " current";
  return tab + "\" href=\"" + Link(ranking, 1, text) + "\" title=\"" + Title(ranking, text) + "\">" + label + "</a>";
}

// One panel per game mode, holding a tab per ranking of that mode.
std::string Tabs(int current, const PageText& text) {
  std::string nav = "<nav class=\"rankings\" aria-label=\"" + text("Ranglisten") + "\">\n";
  for (int first = 0; first < kRankings; first += 3) {
    nav += "<div class=\"panel\"><span class=\"label\">" + ModeName(first) + "</span><span class=\"field\">";
    for (int ranking = first; ranking < kRankings && ranking < first + 3; ++ranking) {
      nav += Tab(ranking, current, text);
    }
    nav += "</span></div>\n";
  }
  return nav + "</nav>\n";
}

std::string Rows(const RankingView& view, bool showsUnverified, const PageText& text) {
  if (view.entries.empty()) return "<tr><td class=\"empty\" colspan=\"3\">" + text("Kein Einträge") + "</td></tr>\n";
  std::string rows;
  for (const ShownEntry& entry : view.entries) {
    rows += entry.recent ? "<tr class=\"new\">" : "<tr>";
    rows += "<td class=\"place\">" + std::to_string(entry.place) + ".</td><td class=\"name\">" +
            HtmlEscape(entry.name);
    if (entry.recent) rows += "<span class=\"new-mark\" title=\"" + text("eingetragen %1", {IsoUtcTime(entry.submittedMillis)}) +
                              "\">" + text("neu") + "</span>";
    if (entry.verified) {
      rows += "<a class=\"verified\" href=\"replays/" + std::to_string(entry.id) + "\" title=\"" +
              text("nachgespielt und bestätigt: die Aufzeichnung laden") + "\">&#10003;</a>";
    } else if (showsUnverified) {
      rows += "<span class=\"unverified\" title=\"" + text("nicht nachgespielt") + "\">?</span>";
    }
    // Like the game, an entry with no points shows none.
    rows += "</td><td class=\"points\">" + (entry.points > 0 ? std::to_string(entry.points) : std::string()) +
            "</td></tr>\n";
  }
  return rows;
}

std::string Arrow(const RankingView& view, int64_t page, const char* rel, const std::string& label, const char* symbol,
                  const PageText& text) {
  if (page < 1 || page > view.pageCount) {
    return std::string("<span class=\"arrow off\" aria-hidden=\"true\">") + symbol + "</span>";
  }
  return "<a class=\"arrow\" rel=\"" + std::string(rel) + "\" href=\"" + Link(view.ranking, page, text) +
         "\" aria-label=\"" + label + "\">" + symbol + "</a>";
}

std::string Document(const std::string& title, const std::string& body, const PageText& text) {
  return Latin1ToUtf8("<!DOCTYPE html>\n<html lang=\"" + HtmlLanguage(text.language) +
                      "\">\n<head>\n<meta charset=\"utf-8\">\n"
                      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
                      title + "</title>\n<link rel=\"icon\" type=\"image/png\" href=\"web/" + kIconPicture +
                      "\">\n<style>" + kStyle + "</style>\n</head>\n<body>\n<div class=\"page\">\n<header><h1><img src=\"web/" +
                      kTitlePicture + "\" width=\"200\" height=\"45\" alt=\"Highscore\"></h1>\n"
                      "<p class=\"subtitle\">" + text("Die Online-Ranglisten von Quarzello") + "</p></header>\n" +
                      body + "</div>\n</body>\n</html>\n");
}

}  // namespace

std::string RenderRankingsPage(const RankingView& view, bool showsUnverified, PageLanguage language) {
  const PageText text(language);
  const std::string title = Title(view.ranking, text);
  const std::string page = std::to_string(view.page);
  std::string body = Tabs(view.ranking, text);
  body += "<main class=\"board\">\n<h2>" + title + "</h2>\n";
  body += "<table>\n<thead><tr><th class=\"place\" scope=\"col\">" + text("Platz") +
          "</th><th scope=\"col\">" + text("Name") + "</th><th class=\"points\" scope=\"col\">" + text("Punkte") +
          "</th></tr></thead>\n<tbody>\n" + Rows(view, showsUnverified, text) + "</tbody>\n</table>\n";
  body += "<nav class=\"pages\" aria-label=\"" + text("Seiten") + "\">" +
          Arrow(view, view.page - 1, "prev", text("vorige Seite"), "&lt;", text) + "<span>" +
          text("Seite %1 von %2", {page, std::to_string(view.pageCount)}) + "</span>" +
          Arrow(view, view.page + 1, "next", text("nächste Seite"), "&gt;", text) + "</nav>\n";
  body += "<p class=\"legend\"><span class=\"new-mark\">" + text("neu") + "</span> " +
          text("in den letzten 24 Stunden eingetragen") + ", <span class=\"verified\">&#10003;</span> " +
          text("nachgespielt und bestätigt (zur Aufzeichnung)");
  if (showsUnverified) body += ", <span class=\"unverified\">?</span> " + text("nicht nachgespielt");
  body += "</p>\n</main>\n";
  // The JSON variant is for programs and speaks German whatever the page does.
  body += "<footer><a href=\"api/rankings" + Link(view.ranking, view.page, PageText({})) + "\">" +
          text("Diese Seite als JSON") + "</a></footer>\n";
  return Document(text("Quarzello Highscore: %1, Seite %2", {title, page}), body, text);
}

std::string RenderErrorPage(const std::string& message, PageLanguage language) {
  const PageText text(language);
  return Document("Quarzello Highscore",
                  "<main class=\"board\">\n<h2>" + HtmlEscape(text(message)) + "</h2>\n<p class=\"legend\"><a href=\"?mode=0" +
                      text.linkSuffix + "\">" + text("Zu den Ranglisten") +
                      "</a></p>\n</main>\n",
                  text);
}

}  // namespace highscored
