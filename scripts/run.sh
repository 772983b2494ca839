#!/usr/bin/env bash
# Installs the dependencies, builds Sendora and starts it (data in ~/Sendora unless SENDORA_HOME says otherwise).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build -DSENDORA_BENCH=OFF
export SENDORA_HOME=${SENDORA_HOME:-$HOME/Sendora}
exec build/src/app/sendora "$@"
