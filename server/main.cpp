// quarzello-highscored: the online highscore service of the game.

#include <pthread.h>
#include <signal.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <exception>
#include <thread>

#include "server/highscore_service.h"
#include "server/http_frontend.h"
#include "server/log.h"
#include "server/options.h"
#include "server/texts.h"
#include "server/replay_pool.h"
#include "server/store.h"
#include "server/web_rankings.h"
#include "server/web_routes.h"

using namespace highscored;

int main(int argc, char** argv) {
  // A replay worker, started by the service itself.
  if (argc == 4 && std::string(argv[1]) == "--replay-worker") {
    return RunReplayWorker(std::atoll(argv[2]), std::atoll(argv[3]));
  }

  Options options = ParseOptions(argc, argv);
  if (options.showHelp) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (!options.error.empty()) {
    std::fprintf(stderr, "quarzello-highscored: %s\n%s", options.error.c_str(), kUsage);
    return 2;
  }

  // Looked up while this is the only thread.
  for (const std::string& text : LoadServiceTexts(ServiceCatalogues())) {
    std::fprintf(stderr, "quarzello-highscored: a character of this text cannot travel as ISO-8859-1: %s\n", text.c_str());
  }

  // A client that hangs up early must not end the server.
  signal(SIGPIPE, SIG_IGN);
  // Termination requests are taken by one thread that stops the server in
  // order; every other thread inherits the blocked mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGUSR1);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  try {
    if (options.database.empty()) options.database = DefaultDatabase();
    const auto store = OpenStore(options.database, options.http.threads);
    // Started before anything listens: the workers inherit nothing of the network.
    ProcessReplayer replayer("/proc/self/exe", options.replay);
    HighscoreService service(*store, options.service, &replayer);
    WebRankings web(*store, [&service] { return service.StoredScores(); }, options.web);
    HttpFrontEnd frontEnd(service, options.http);
    AddWebRoutes(frontEnd, web);

    const int port = frontEnd.Bind();
    if (port < 0) {
      std::fprintf(stderr, "quarzello-highscored: cannot listen on %s:%d\n", options.http.address.c_str(),
                   options.http.port);
      return 1;
    }

    std::thread signalWaiter([&] {
      int received = 0;
      sigwait(&stopSignals, &received);
      if (received == SIGUSR1) return;
      LogNote("stopping");
      // Replays under way are given a second, then their uploads are told to come back later.
      std::jthread cutReplays([&replayer](std::stop_token stop) {
        std::mutex mutex;
        std::unique_lock lock(mutex);
        std::condition_variable_any().wait_for(lock, stop, std::chrono::seconds(1), [] { return false; });
        replayer.Shutdown();
      });
      frontEnd.Stop();
    });

    std::fprintf(stderr, "quarzello-highscored: listening on %s:%d, database %s\n", options.http.address.c_str(),
                 port, options.database.c_str());
    frontEnd.Run();
    // Wakes the waiter if the server ended on its own.
    pthread_kill(signalWaiter.native_handle(), SIGUSR1);
    signalWaiter.join();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quarzello-highscored: %s\n", error.what());
    return 1;
  }
  return 0;
}
