# Shared by scripts/test and scripts/run: installs what is missing and builds.
# Sourced, not run.

BUILD_PACKAGES="cmake g++ make qtbase5-dev libqt5serialport5-dev qttools5-dev qttools5-dev-tools qttranslations5-l10n"
# A virtual display with a window manager (for the title bar) and the X fonts
# it draws with, a screenshot tool, a font with Chinese glyphs and the locale
# data to speak Chinese, for scripts/run without a display.
RUN_PACKAGES="xvfb xauth x11-utils twm xfonts-base xfonts-utils imagemagick fonts-wqy-microhei locales"

as_root() {
    if [ "$(id -u)" -ne 0 ]; then sudo "$@"; else "$@"; fi
}

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    local dir=$1
    shift
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" -j"$(nproc)"
}
