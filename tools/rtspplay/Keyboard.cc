#include "Keyboard.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "Report.h"

namespace rtspplay {
namespace {

// The scales + and - step through; 0 is the normal rate.
constexpr std::array<int, 7> kScales = {-8, -4, -2, 0, 2, 4, 8};
constexpr int kNormalScaleIndex = 3;
// A digit seeks to that many tenths of the recording.
constexpr int kSeekSteps = 10;

int StepScale(int scale, int step) {
  const auto found = std::find(kScales.begin(), kScales.end(), scale);
  const int index = found == kScales.end() ? kNormalScaleIndex : static_cast<int>(found - kScales.begin());
  return kScales[std::clamp(index + step, 0, static_cast<int>(kScales.size()) - 1)];
}

}  // namespace

RawTerminal::RawTerminal() {
  if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &saved_) != 0) return;
  termios raw = saved_;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  active_ = ::tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

RawTerminal::~RawTerminal() {
  if (active_) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
}

std::optional<char> RawTerminal::ReadKey(std::chrono::milliseconds timeout) {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  if (::poll(&input, 1, static_cast<int>(timeout.count())) <= 0) return std::nullopt;
  char key = 0;
  if (::read(STDIN_FILENO, &key, 1) != 1) return std::nullopt;
  return key;
}

std::optional<Command> CommandForKey(char key, const KeyContext& context) {
  Command command;
  if (key == ' ') {
    command.kind = context.paused ? CommandKind::kResume : CommandKind::kPause;
  } else if (key == 'q') {
    command.kind = CommandKind::kStop;
  } else if (key == '+' || key == '-') {
    command.kind = CommandKind::kRate;
    command.scale = StepScale(context.scale, key == '+' ? 1 : -1);
  } else if (key >= '0' && key <= '9' && context.totalTime > 0) {
    command.kind = CommandKind::kSeek;
    command.seconds = context.totalTime / kTimeUnitsPerSecond * (key - '0') / kSeekSteps;
  } else {
    return std::nullopt;
  }
  return command;
}

}  // namespace rtspplay
