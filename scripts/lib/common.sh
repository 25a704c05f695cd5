# Shared settings for the scripts: where caches, builds and the Wine prefix live.
top=${top:?}
export VESK_CACHE=${VESK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vesk-check}
export VESK_CURL_PREFIX="$VESK_CACHE/curl-7.88.1-i686-w64-mingw32-schannel"
export WINEPREFIX="$top/build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

log() { printf '%s: %s\n' "$(basename "$0")" "$*" >&2; }

# Installs those of the given Debian packages that are not installed yet; the package lists must
# be current (scripts/setup sees to that).
install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    if [ ${#missing[@]} -gt 0 ]; then
        log "installing ${missing[*]}"
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    fi
}
