#!/usr/bin/env bash
# Installs what the program needs (not what only the tests need), builds it
# and starts it on the demo bank, as the user who ran this script: under sudo,
# the user who called sudo, so that the build and the learner's bank belong
# to that user. A staged bank that holds a learner's records, favourites or
# settings is never replaced by a rebuilt demo bank.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ] || command -v sudo >/dev/null; then
  bash scripts/install-deps.sh
fi

user=""
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_USER:-}" ] && [ "$SUDO_USER" != root ]; then
  user=$SUDO_USER
  # A build tree an earlier run made as root goes to the user.
  [ -d build ] && chown -R "$user": build
fi
as_user() {
  if [ -n "$user" ]; then
    "$(command -v runuser || echo /sbin/runuser)" -u "$user" -- env HOME="$(getent passwd "$user" | cut -d: -f6)" "$@"
  else
    "$@"
  fi
}

as_user bash scripts/build.sh

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "程序已构建在 build/qbrx/，但没有图形桌面（DISPLAY 与 WAYLAND_DISPLAY 都未设置），无法显示窗口。" >&2
  echo "请在图形桌面的终端中运行本脚本；无桌面时可用 bash scripts/screenshot.sh 在 Xvfb 中运行并截图。" >&2
  exit 1
fi
as_user build/qbrx/qbrx
