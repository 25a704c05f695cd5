# Shared settings for the scripts: where caches, builds and the Wine prefix live.
top=${top:?}
export VESK_CACHE=${VESK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vesk-check}
export VESK_CURL_PREFIX="$VESK_CACHE/curl-7.88.1-i686-w64-mingw32-schannel"
export WINEPREFIX="$top/build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

log() { printf '%s: %s\n' "$(basename "$0")" "$*" >&2; }
