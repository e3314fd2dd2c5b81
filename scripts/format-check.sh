#!/usr/bin/env bash
# Fails when a C++ file is not formatted with the repository's .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || bash scripts/install-deps.sh
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "clang-format: all files formatted"
