// rtspplay: a small host of the stream client library. It opens an rtsp URL, plays it
// through the data callback, prints the header, the total time and what arrives each second,
// and takes pause, resume, seek and rate commands from the keyboard or a --do list.
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "Keyboard.h"
#include "PlayerHost.h"
#include "Report.h"
#include "StreamReceiver.h"

namespace {

using namespace rtspplay;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// Without keys or a list the program plays until signalled; it looks this often.
constexpr std::chrono::milliseconds kSignalPoll{200};

volatile std::sig_atomic_t g_interrupted = 0;

void OnSignal(int) { g_interrupted = 1; }

bool Interrupted() { return g_interrupted != 0; }

// Runs the --do list; false when a command failed.
bool RunScript(PlayerHost& host, SecondTicker& ticker, const std::vector<Command>& script) {
  bool ok = true;
  for (const Command& command : script) {
    if (Interrupted() || host.Stopped()) break;
    if (command.kind == CommandKind::kWait) {
      ticker.Sleep(std::chrono::duration_cast<SecondTicker::Clock::duration>(
                       std::chrono::duration<double>(command.seconds)),
                   Interrupted);
    } else {
      ok = host.Run(command) && ok;
    }
  }
  return ok;
}

// Plays and follows single keys until 'q' or a signal.
void RunKeys(PlayerHost& host, SecondTicker& ticker, RawTerminal& terminal) {
  KeyContext context;
  host.Run(Command{CommandKind::kPlay});
  while (!Interrupted() && !host.Stopped()) {
    ticker.Poll();
    const auto key = terminal.ReadKey(
        std::chrono::duration_cast<std::chrono::milliseconds>(ticker.UntilNext()));
    if (!key) continue;
    context.paused = host.Paused();
    context.totalTime = PlayerHost::TotalTime();
    const auto command = CommandForKey(*key, context);
    if (command && host.Run(*command) && command->kind == CommandKind::kRate)
      context.scale = command->scale;
  }
}

int Run(const Options& options) {
  std::string error;
  auto receiver = StreamReceiver::Create(options.outPath, error);
  if (!receiver) {
    std::fprintf(stderr, "rtspplay: %s\n", error.c_str());
    return kExitFailed;
  }
  auto host = PlayerHost::Open(options, *receiver, error);
  if (!host) {
    std::fprintf(stderr, "rtspplay: %s\n", error.c_str());
    return kExitFailed;
  }
  SecondTicker ticker(*receiver);
  bool ok = true;
  if (options.script) {
    ok = RunScript(*host, ticker, *options.script);
  } else if (RawTerminal terminal; terminal.Active()) {
    RunKeys(*host, ticker, terminal);
  } else {
    ok = host->Run(Command{CommandKind::kPlay});
    while (ok && !Interrupted()) ticker.Sleep(kSignalPoll, Interrupted);
  }
  if (!host->Stopped()) ok = host->Run(Command{CommandKind::kStop}) && ok;
  const Totals totals = receiver->Snapshot();
  std::printf("received %llu bytes, %llu groups\n", static_cast<unsigned long long>(totals.bytes),
              static_cast<unsigned long long>(totals.groups));
  if (!receiver->OutputGood()) {
    std::fprintf(stderr, "rtspplay: writing %s failed\n", options.outPath.c_str());
    ok = false;
  }
  return ok ? kExitOk : kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), error);
  if (!options) {
    std::fprintf(stderr, "rtspplay: %s\n%s", error.c_str(), kUsage);
    return kExitUsage;
  }
  if (options->help) {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGPIPE, SIG_IGN);
  return Run(*options);
}
