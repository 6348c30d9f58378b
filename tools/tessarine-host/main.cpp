// tessarine-host: a command-line VST 2.4 host for trying a plug-in out.

#include <cstdio>
#include <exception>

#include "commands.h"
#include "errors.h"
#include "options.h"

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  tessarine-host info PLUGIN.so\n"
    "  tessarine-host render PLUGIN.so [INPUT] [options]\n"
    "  tessarine-host screenshot PLUGIN.so FILE.png [--program N] [--param I=V]...\n"
    "                            [--scale F]\n"
    "  tessarine-host curve PLUGIN.so FILE.png [--program N] [--param I=V]...\n"
    "                [--range R] [--size WxH]\n"
    "  tessarine-host --help\n"
    "\n"
    "Loads a 64-bit Linux VST 2.4 plug-in the way a DAW does.\n"
    "\n"
    "Commands:\n"
    "  info     show what a host sees: product, vendor, unique ID, version, flags,\n"
    "           inputs and outputs, latency, every parameter and every program\n"
    "  render   process INPUT (WAV, FLAC, AIFF, ...; mono or stereo, any rate)\n"
    "           through the plug-in into a 32-bit float WAV file at the input's\n"
    "           rate with its channel count. Without INPUT a 1 kHz sine of\n"
    "           amplitude 1, 2 s long, 48 kHz stereo, is used. For a sine input,\n"
    "           prints the levels of harmonics 1 to 7 of output channel 1 and its\n"
    "           DC offset; for anything else, its peak, RMS and DC levels.\n"
    "           With --plot, also draws the spectrum of output channel 1 (20 Hz to\n"
    "           half the rate, dBFS) with the measured harmonics marked, or for\n"
    "           other input its average spectrum. On a terminal, renders that take\n"
    "           over a second show their progress.\n"
    "  screenshot\n"
    "           open the plug-in's editor in a window as a DAW does, let it draw\n"
    "           and write the window's pixels to FILE.png (PNG). Uses $DISPLAY,\n"
    "           or a private Xvfb when no display can be opened (package xvfb).\n"
    "           --program and --param are applied before the editor opens;\n"
    "           --scale F (1 to 4, e.g. 2 or 1.5) asks for the editor at factor F.\n"
    "  curve    feed a slow ramp from -R to +R (1 s at 48 kHz) through the plug-in\n"
    "           and draw output channel 1 against the input into FILE.png, with\n"
    "           the identity line faint behind it and the setting in a corner. For\n"
    "           a memoryless plug-in this is its transfer curve; for a plug-in\n"
    "           with memory (filters, dynamics, delays) it is only what the\n"
    "           plug-in does to that ramp.\n"
    "\n"
    "Render options (screenshot takes --program and --param; curve takes those,\n"
    "--range and --size):\n"
    "  -o, --output FILE     output file (default: tessarine-out.wav)\n"
    "  --program N           select program N (0-based) before processing\n"
    "  --param INDEX=VALUE   set parameter INDEX to VALUE (0..1); may be repeated,\n"
    "                        applied in order after --program\n"
    "  --bypass              ask the plug-in to bypass itself\n"
    "  --block N             process in blocks of N frames, 1..65536 (default 512)\n"
    "  --mono                report the plug-in's second input as not connected\n"
    "  --plot FILE.png       also draw the spectrum of output channel 1 (PNG)\n"
    "  --size WxH            picture size in pixels, 200x150 to 8192x8192\n"
    "                        (default 800x500)\n"
    "  --range R             curve: ramp from -R to +R, 0 < R <= 100 (default 1)\n"
    "  -h, --help            show this help\n"
    "\n"
    "Exit status: 0 on success, 1 when a command fails, 2 for a malformed command line.\n";

int fail(const char* message, int status) {
  std::fprintf(stderr, "tessarine-host: error: %s\n", message);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  try {
    const Options options = parseOptions(argc, argv);
    switch (options.command) {
      case Command::Help:
        std::fputs(kUsage, stdout);
        break;
      case Command::Info:
        runInfo(options);
        break;
      case Command::Render:
        runRender(options);
        break;
      case Command::Screenshot:
        runScreenshot(options);
        break;
      case Command::Curve:
        runCurve(options);
        break;
    }
    return 0;
  } catch (const UsageError& error) {
    return fail(error.what(), 2);
  } catch (const std::exception& error) {
    return fail(error.what(), 1);
  }
}
