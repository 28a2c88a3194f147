// recgen: writes a recorder stream file with real encoded video and audio, optionally
// damaged, and prints what it wrote.
#include <cstdio>
#include <exception>

extern "C" {
#include <libavutil/log.h>
}

#include "CommandLine.h"
#include "Recording.h"

int main(int argc, char** argv) {
  const recgen::ParsedCommandLine parsed =
      recgen::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (parsed.help) {
    std::fputs(recgen::kUsage, stdout);
    return 0;
  }
  if (!parsed.error.empty()) {
    std::fprintf(stderr, "recgen: %s\n%s", parsed.error.c_str(), recgen::kUsage);
    return 2;
  }
  av_log_set_level(AV_LOG_ERROR);  // the encoders' statistics are not recgen's output
  try {
    const recgen::RecordingSummary summary = recgen::WriteRecording(parsed.options);
    std::fputs(recgen::DescribeRecording(parsed.options, summary).c_str(), stdout);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "recgen: %s\n", e.what());
    return 1;
  }
  return 0;
}
