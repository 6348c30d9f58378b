#!/usr/bin/env bash
# Installs what is missing, builds the plug-in and the command-line host, and
# renders the built-in test tone (a 1 kHz full-scale sine) through the plug-in
# with a setting that adds the 2nd, 3rd and 5th harmonics, printing the level of
# each harmonic of the result and drawing its spectrum and the setting's curve.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release

out=build/release/demo
mkdir -p "$out"
build/release/tools/tessarine-host info build/release/tessarine.so
echo
setting=(--param 0=1 --param 1=0.8 --param 2=0.7 --param 4=0.5)
build/release/tools/tessarine-host render build/release/tessarine.so "${setting[@]}" \
  -o "$out/tessarine-demo.wav" --plot "$out/spectrum.png"
build/release/tools/tessarine-host curve build/release/tessarine.so "$out/curve.png" "${setting[@]}"
