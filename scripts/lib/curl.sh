# libcurl for every build: one pinned upstream release, built static from its untouched tarball,
# cached outside the tree under a folder named after the version and the target.
#
# The tarball is the upstream one inside Debian's source package (checked against the SHA-256
# pinned here), or VESK_CURL_SOURCE=path/to/curl-X.tar.gz when that file's SHA-256 is pinned here
# too, so a publisher can build with the updater's own release.

# Upstream releases we build with, by the SHA-256 of their tarball.
declare -A curl_release_sha256=(
    [8.21.0]=d9b327997999045a24cda50f3983e69e51c516bd8be6ef9842fc7f99135e33bb
    [8.23.0]=e3de767cfa6367083c776a26647fc9f633b538c06c3baa73d931a252ac8f72b49
    [8.14.1]=6766ada7101d292b42b8b15681120acd68effa4a9660935853cf6d61f0d984d4
)
# Debian source packages that carry them: the preferred one first, then the fallback.
curl_debian_sources=("8.21.0=8.21.0-2" "8.14.1=8.14.1-2+deb13u5")

# The version that setup chose is what the builds use; it lives with the build folders.
curl_version_file=$top/build/libcurl-version

# HTTP and HTTPS only, and none of the optional libraries: what the updater's download needs.
# Built as one unit per folder (curl's unity mode) and without dependency tracking: each build is
# made once, from scratch.
curl_configure_common=(
    --disable-shared --enable-static --enable-unity --disable-dependency-tracking
    --disable-ftp --disable-file --disable-ldap --disable-ldaps --disable-rtsp --disable-dict
    --disable-telnet --disable-tftp --disable-pop3 --disable-imap --disable-smb --disable-smtp
    --disable-gopher --disable-mqtt --disable-websockets --disable-manual --disable-docs
    --without-zlib --without-brotli --without-zstd --without-libidn2 --without-libpsl
    --without-nghttp2 --without-nghttp3 --without-ngtcp2 --without-libssh2 --without-libssh
    --without-libgsasl
)

# Prints the cache folder of the libcurl build for a target (i686-w64-mingw32, x86_64-w64-mingw32
# or native) of the given version. The name ends with a digest of the configure options, so that a
# cache made with other options is never taken for this build.
curl_prefix() {
    local target=$1 version=$2 options
    options=$(printf '%s\n' "${curl_configure_common[@]}" | sha256sum | cut -c1-8)
    case $target in
        native) echo "$VESK_CACHE/curl-$version-x86_64-linux-gnu-openssl-$options" ;;
        *) echo "$VESK_CACHE/curl-$version-$target-schannel-$options" ;;
    esac
}

# Prints the pinned version whose tarball has this SHA-256, or fails.
curl_pinned_version() {
    local sum=$1 version
    for version in "${!curl_release_sha256[@]}"; do
        [ "${curl_release_sha256[$version]}" = "$sum" ] && { echo "$version"; return 0; }
    done
    return 1
}

# Prints the version setup chose, for the builds; fails with one line when setup has not run.
curl_chosen_version() {
    if [ ! -s "$curl_version_file" ]; then
        echo "$(basename "$0"): no libcurl chosen yet: run scripts/setup first" >&2
        return 1
    fi
    cat "$curl_version_file"
}

# Fetches the upstream tarball of a Debian source package into the cache and checks it; prints
# its path, or fails quietly when the archive does not serve that version.
curl_fetch_debian_tarball() {
    local version=$1 debian_version=$2
    local tarball=$VESK_CACHE/curl_$version.orig.tar.gz
    mkdir -p "$VESK_CACHE"
    if [ ! -f "$tarball" ]; then
        local work
        work=$(mktemp -d)
        (cd "$work" && apt-get source -qq --download-only "curl=$debian_version" >/dev/null 2>&1) &&
            [ -f "$work/curl_$version.orig.tar.gz" ] && mv "$work/curl_$version.orig.tar.gz" "$tarball"
        rm -rf "$work"
        [ -f "$tarball" ] || return 1
    fi
    curl_check_tarball "$tarball" "$version" || return 1
    echo "$tarball"
}

curl_check_tarball() {
    local tarball=$1 version=$2 sum
    sum=$(sha256sum "$tarball" | cut -d' ' -f1)
    if [ "$sum" != "${curl_release_sha256[$version]}" ]; then
        log "$tarball has SHA-256 $sum, not the one pinned for libcurl $version; removed"
        rm -f "$tarball"
        return 1
    fi
}

# Chooses the libcurl release and sets curl_version and curl_tarball (empty when every target
# that is needed is already built).
curl_choose_release() {
    local targets=("$@")
    if [ -n "${VESK_CURL_SOURCE:-}" ]; then
        local sum
        sum=$(sha256sum "$VESK_CURL_SOURCE" | cut -d' ' -f1) || exit 1
        if ! curl_version=$(curl_pinned_version "$sum"); then
            echo "setup: $VESK_CURL_SOURCE has SHA-256 $sum, which is not a pinned libcurl release" >&2
            exit 1
        fi
        curl_tarball=$VESK_CURL_SOURCE
        return 0
    fi
    local entry version
    for entry in "${curl_debian_sources[@]}"; do
        version=${entry%%=*}
        curl_version=$version
        curl_tarball=
        curl_targets_built "$version" "${targets[@]}" && return 0
        if curl_tarball=$(curl_fetch_debian_tarball "$version" "${entry#*=}"); then
            [ "$entry" = "${curl_debian_sources[0]}" ] ||
                log "libcurl ${curl_debian_sources[0]%%=*} is not served by the archive; using $version instead"
            return 0
        fi
    done
    echo "setup: Debian's archive serves no pinned libcurl source; give a tarball with VESK_CURL_SOURCE=path/to/curl-X.tar.gz" >&2
    exit 1
}

curl_targets_built() {
    local version=$1 target
    shift
    for target in "$@"; do
        [ -f "$(curl_prefix "$target" "$version")/.built" ] || return 1
    done
}

# Builds the static library and headers of one target into its cache folder, once.
curl_build_target() {
    local target=$1 prefix
    prefix=$(curl_prefix "$target" "$curl_version")
    [ -f "$prefix/.built" ] && return 0
    log "building static libcurl $curl_version for $target"
    local work
    work=$(mktemp -d)
    tar -xzf "$curl_tarball" -C "$work" --strip-components=1
    local configure=(./configure -q --prefix="$prefix" "${curl_configure_common[@]}")
    case $target in
        native)
            # Debian's trust store, as the system libcurl has it: the lab mounts its own over it.
            configure+=(--with-openssl --with-ca-bundle=/etc/ssl/certs/ca-certificates.crt
                        --with-ca-path=/etc/ssl/certs) ;;
        *)
            configure+=(--host="$target" --with-schannel CC="$target-gcc-posix" AR="$target-ar"
                        RANLIB="$target-ranlib") ;;
    esac
    rm -rf "$prefix"
    # configure's warnings about what we switched off are expected: the log is shown on failure.
    if ! (cd "$work" && "${configure[@]}" && make -s -j"$(nproc)" -C lib &&
            make -s -C lib install && make -s -C include install) >"$work/build.log" 2>&1; then
        tail -n 30 "$work/build.log" >&2
        rm -rf "$work"
        echo "setup: building libcurl $curl_version for $target failed" >&2
        exit 1
    fi
    install -m 644 "$work/COPYING" "$prefix/COPYING"
    rm -rf "$work"
    touch "$prefix/.built"
}

# Builds the given targets at the same time, each a phase of its own; fails when one failed.
curl_build_targets() {
    local target jobs=() job failed=0
    for target in "$@"; do
        timed "libcurl $target" curl_build_target "$target" &
        jobs+=($!)
    done
    for job in "${jobs[@]}"; do
        wait "$job" || failed=1
    done
    return $failed
}

curl_record_version() {
    mkdir -p "$(dirname "$curl_version_file")"
    echo "$curl_version" > "$curl_version_file"
}

# Makes libcurl ready for the given targets and records the version for scripts/build.
curl_setup() {
    curl_choose_release "$@"
    curl_build_targets "$@"
    curl_record_version
}
