#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Brevant need.
# Idempotent: when everything is installed already it returns at once.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev libjpeg-dev libssl-dev openssl ca-certificates
  libgtest-dev libgmock-dev libbenchmark-dev
  libhunspell-dev libmythes-dev hunspell-en-us mythes-en-us
  xvfb xauth imagemagick dpkg-dev file desktop-file-utils
  python3 python3-aiosmtpd dovecot-pop3d
  msmtp fetchmail unrtf hyperfine spamassassin postfix
  qtkeychain-qt6-dev libsecret-1-0 gnome-keyring dbus dbus-daemon
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# Postfix only lends the benchmarks its smtp-sink and smtp-source: no mail system is set up.
echo "postfix postfix/main_mailer_type select No configuration" | $sudo debconf-set-selections
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
# The POP3 tests start their own Dovecot; the system one is not wanted.
$sudo systemctl disable --now dovecot >/dev/null 2>&1 || true
$sudo systemctl disable --now postfix >/dev/null 2>&1 || true
