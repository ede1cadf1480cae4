// What the desktop's language costs the start: finding the catalogues,
// choosing among them from the settings, and looking every text up once
// (German needs no catalogue; French reads its .mo through gettext).
#include <benchmark/benchmark.h>

#include "app/app.h"
#include "gameplay/texts.h"

using namespace quarzello;

namespace {

void BM_ChooseAndLoadLanguage(benchmark::State& state, LocaleSettings desktop) {
  for (auto _ : state) {
    const Catalogues catalogues = GameCatalogues();
    Language language = LoadLanguage(catalogues, ChooseLanguageCode(catalogues, nullptr, desktop));
    benchmark::DoNotOptimize(language);
  }
}
BENCHMARK_CAPTURE(BM_ChooseAndLoadLanguage, German, LocaleSettings{.lang = "C.UTF-8"})->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ChooseAndLoadLanguage, French, LocaleSettings{.lang = "fr_FR.UTF-8"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_ChooseAndLoadLanguage, FallingThroughToFrench,
                  LocaleSettings{.language = "xx:yy:fr", .lang = "es_ES.UTF-8"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
