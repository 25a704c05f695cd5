# Shared settings for the scripts: where caches, builds and the Wine prefix live.
top=${top:?}
export VESK_CACHE=${VESK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vesk-check}
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

log() { printf '%s: %s\n' "$(basename "$0")" "$*" >&2; }

# The script's own comment block, from its second line to the first empty one, as its usage.
usage() {
    sed -n '2,/^$/s/^# \{0,1\}//p' "$0" >&2
    exit 2
}

# Runs a command as one phase of a run; when VESK_PHASE_LOG names a file, adds the phase's name and
# wall time in seconds to it, whether the command passed or not. Returns the command's status.
timed() {
    local name=$1 started=$SECONDS status=0
    shift
    "$@" || status=$?
    if [ -n "${VESK_PHASE_LOG:-}" ]; then
        printf '%s\t%s\n' "$name" "$((SECONDS - started))" >> "$VESK_PHASE_LOG"
    fi
    return $status
}

# Prints the phases recorded in VESK_PHASE_LOG, one line each: 'phase NAME: N s'.
print_phases() {
    local name seconds
    while IFS=$'\t' read -r name seconds; do
        printf 'phase %s: %s s\n' "$name" "$seconds"
    done < "$VESK_PHASE_LOG"
}

source "$top/scripts/lib/curl.sh"

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

# Some kernels start no 32-bit program at all. Asked afresh each time by starting one (the 32-bit
# dynamic loader, which scripts/setup installs with 32-bit Wine), never remembered: the same
# checkout may be handed to another machine.
runs_32bit_programs() {
    /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# Chooses the Windows build that runs under Wine and points Wine at it: the 32-bit product where
# this machine starts 32-bit programs; otherwise, or with VESK_WINDOWS_TWIN=1, its 64-bit twin
# (build/windows64) under 64-bit Wine. Sets windows_build and windows_reason.
use_windows_build() {
    if [ "${VESK_WINDOWS_TWIN:-}" = 1 ]; then
        windows_build=windows64
        windows_reason="VESK_WINDOWS_TWIN=1 asks for the 64-bit twin"
    elif runs_32bit_programs; then
        windows_build=windows
        windows_reason="this machine starts 32-bit programs"
    else
        windows_build=windows64
        windows_reason="this machine cannot start 32-bit programs"
    fi
    if [ "$windows_build" = windows64 ]; then
        # Debian's wine, wine-stable and wineboot take the 32-bit loader whenever it is
        # installed; the folder put first in PATH holds a wine and a wine-stable that do not.
        export WINEPREFIX=$top/build/wineprefix64
        export WINELOADER=/usr/lib/wine/wine64
        export PATH="$top/scripts/lib/wine64:$PATH"
    else
        export WINEPREFIX=$top/build/wineprefix
    fi
}

# The line a script prints before it runs Windows programs.
say_windows_build() {
    if [ "$windows_build" = windows64 ]; then
        log "Windows programs: the 64-bit twin build/windows64 under 64-bit Wine ($windows_reason; the 32-bit product build/windows is built and checked statically)"
    else
        log "Windows programs: the 32-bit product build/windows under Wine ($windows_reason)"
    fi
}
