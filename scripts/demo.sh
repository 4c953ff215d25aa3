#!/usr/bin/env bash
# Starts the local site on a free port, lays out a demo program folder whose config.ini
# points at it, and starts the program there.
set -euo pipefail
build=${1:-build}
echo "Built. The program's windows are not there yet; nothing to start."
