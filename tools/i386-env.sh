#!/bin/bash
# Runs 32-bit x86 programs (the shipped i686 ones under Debian's i386 Wine)
# on a host that cannot execute 32-bit x86 code, through CPU emulation.
#   i386-env.sh prepare        make the environment (or check the cached one)
#   i386-env.sh run CMD...     run the host command CMD where i386 Wine runs
#   i386-env.sh auto CMD...    the same, but CMD runs as it is where this host
#                              runs 32-bit x86 code (and its i386 Wine) itself;
#                              exit code 77 (of prepare too) where neither
#                              can be (not root, Linux older than 6.7)
# The environment, made once per machine and kept in $BRIVANTA_I386_CACHE
# (default /var/cache/brivanta-i386):
#   qemu/  qemu-user 10 of bookworm-backports, unpacked with dpkg -x (apt
#          with lists of its own: the machine's sources and packages stay as
#          they are). Bookworm's 7.2 treats MAP_FIXED_NOREPLACE as a hint, and
#          each Wine process then spends a minute retrying its mappings.
#   root/  an i386 Debian 12 tree with Wine (debootstrap --arch=i386).
# `run` starts CMD in a private user and mount namespace, which no other
# process on the machine sees: it mounts a binfmt_misc of its own there
# (Linux 6.7 and later give each user namespace one) where i386 ELF programs
# start through qemu-i386, and lays the tree's /usr under the host's, so that
# CMD sees the machine as one with wine32:i386 installed: the project's Wine
# scripts run unchanged, and only Wine's 32-bit code is emulated.
# Needs root, Debian 12, Linux >= 6.7 and Debian's mirror.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache=${BRIVANTA_I386_CACHE:-/var/cache/brivanta-i386}
suite=bookworm
# The i386 packages: Wine and the X libraries its display driver loads (only
# recommended by libwine; without them no window is drawn).
packages=wine32,libwine,libxcomposite1,libxcursor1,libxfixes3,libxi6,libxinerama1,libxrandr2,libxrender1,libxxf86vm1,libdbus-1-3,libgnutls30
# What a cached environment was made from; another recipe makes it anew. The
# tree's Wine must be the host's version: the host's wineserver serves its
# programs too (so an upgrade of the host's Wine makes the tree anew).
recipe="$suite $packages qemu-user/$suite-backports wine64=$(dpkg-query -W -f='${Version}' wine64 2>/dev/null || true)"

die() {
    echo "i386-env.sh: $*" >&2
    exit 1
}
say() {
    echo "i386-env.sh: $*" >&2
}

# The Debian mirror this machine's apt already uses.
mirror() {
    local m
    m=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/*.sources 2>/dev/null | grep -v security | head -n1 || true)
    [ -n "$m" ] || m=$(sed -n 's/^deb \(http[^ ]*\) .*/\1/p' /etc/apt/sources.list 2>/dev/null | head -n1 || true)
    [ -n "$m" ] || die "no Debian mirror found in apt's sources"
    echo "${m%% *}"
}

# Runs "$@" as root of a new user namespace (ids 0..65535 mapped to
# themselves) with a mount namespace of its own. The child waits on a pipe
# until its maps are written.
in_namespace() {
    local fifo child mine i
    fifo=$(mktemp -u "${TMPDIR:-/tmp}/i386-env.XXXXXX")
    mkfifo "$fifo"
    unshare --user --mount --propagation private -- \
        bash -c 'read -r _ <"$0"; rm -f "$0"; exec "$@"' "$fifo" "$@" &
    child=$!
    mine=$(readlink /proc/self/ns/user)
    for ((i = 0; i < 400; i++)); do
        [ "$(readlink "/proc/$child/ns/user" 2>/dev/null)" != "$mine" ] && break
        sleep 0.05
    done
    echo '0 0 65536' >"/proc/$child/uid_map"
    echo '0 0 65536' >"/proc/$child/gid_map"
    echo go >"$fifo"
    local rc=0
    wait "$child" || rc=$?
    return $rc
}

# Inside the namespace: i386 ELF programs start through qemu-i386. The magic
# and mask are those of QEMU's qemu-binfmt-conf.sh; F opens the interpreter
# now, P passes argv[0] on as it was.
register_qemu() {
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc ||
        die "no binfmt_misc of this namespace's own (Linux 6.7 or later is needed)"
    echo ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$cache/qemu/usr/bin/qemu-i386"':PF' \
        >/proc/sys/fs/binfmt_misc/register
}

fetch_qemu() {
    local apt=$cache/apt
    rm -rf "$apt" "$cache/qemu"
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/parts"
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $(mirror) $suite-backports main" \
        >"$apt/sources.list"
    local opts=(-o Dir::Etc::SourceList="$apt/sources.list" -o Dir::Etc::SourceParts="$apt/parts"
        -o Dir::State::Lists="$apt/lists" -o Dir::Cache="$apt/cache" -q)
    # A mirror in the middle of a sync may answer with a stale index.
    local attempt
    for attempt in 1 2 3; do
        apt-get "${opts[@]}" update >/dev/null && (cd "$apt" && apt-get "${opts[@]}" \
            -o APT::Sandbox::User=root download \
            "qemu-user/$suite-backports" >/dev/null) && break
        say "fetching qemu-user failed (attempt $attempt)"
        [ "$attempt" -eq 3 ] && die "cannot fetch qemu-user from $suite-backports"
        sleep $((attempt * 10))
    done
    dpkg -x "$apt"/qemu-user_*.deb "$cache/qemu"
    rm -rf "$apt"
    "$cache/qemu/usr/bin/qemu-i386" --version | head -n1 >&2
}

make_tree() {
    local root=$cache/root attempt
    rm -rf "$root"
    for attempt in 1 2 3; do
        debootstrap --foreign --arch=i386 --variant=minbase --include="$packages" \
            "$suite" "$root" "$(mirror)" >"$cache/debootstrap.log" 2>&1 && break
        say "debootstrap failed (attempt $attempt; $cache/debootstrap.log)"
        [ "$attempt" -eq 3 ] && die "debootstrap --arch=i386 failed"
        rm -rf "$root"
        sleep $((attempt * 10))
    done
    # The second stage runs the tree's own dpkg, an i386 program. container=lxc
    # skips its check that device nodes can be made (refused in a user
    # namespace); the host's /dev is bound instead.
    in_namespace bash "$here/i386-env.sh" __second-stage >>"$cache/debootstrap.log" 2>&1 ||
        die "the second stage of debootstrap failed ($cache/debootstrap.log)"
    rm -rf "$root/var/cache/apt/archives"/*.deb
}

second_stage() {
    local root=$cache/root
    register_qemu
    for d in proc dev sys; do
        mount --rbind "/$d" "$root/$d"
    done
    env container=lxc chroot "$root" /debootstrap/debootstrap --second-stage
}

prepare() {
    [ "$(id -u)" = 0 ] || die "must run as root"
    command -v debootstrap >/dev/null || die "debootstrap is missing: run tools/install-deps.sh"
    mkdir -p "$cache"
    exec 9>"$cache/.lock"
    flock 9
    if [ "$(cat "$cache/recipe" 2>/dev/null)" = "$recipe" ]; then
        return 0
    fi
    local start=$SECONDS
    rm -f "$cache/recipe"
    say "making the i386 environment in $cache (a few minutes, once per machine)"
    fetch_qemu
    make_tree
    # The tree's Wine must be the host's: the host's wineserver serves both.
    local host_wine tree_wine
    host_wine=$(dpkg-query -W -f='${Version}' wine64)
    tree_wine=$(chroot_version)
    [ "$host_wine" = "$tree_wine" ] ||
        die "the i386 Wine is $tree_wine and the host's wine64 $host_wine: update the host (apt-get upgrade wine64)"
    echo "$recipe" >"$cache/recipe"
    say "made in $((SECONDS - start)) s"
}

chroot_version() {
    dpkg-query --admindir="$cache/root/var/lib/dpkg" -W -f='${Version}' wine32
}

# Inside the namespace: the tree's /usr laid under the host's. The host's
# files win; the tree adds the i386 loader, libraries and Wine.
run_inside() {
    register_qemu
    mount -t overlay overlay -o "lowerdir=/usr:$cache/root/usr" /usr
    # i386 programs take the tree's loader, C library and libraries, which
    # belong together: a host with 32-bit compatibility libraries (/usr/lib32,
    # libc6-i386) has a loader of its own there, and /etc/ld.so.cache names
    # its C library; the library path, set for emulated programs only, comes
    # before that cache.
    local loader=$cache/root/usr/lib/i386-linux-gnu/ld-linux.so.2
    [ ! -e /usr/lib32/ld-linux.so.2 ] || mount --bind "$loader" /usr/lib32/ld-linux.so.2
    export QEMU_SET_ENV=LD_LIBRARY_PATH=/usr/lib/i386-linux-gnu:/lib/i386-linux-gnu
    /usr/lib/wine/wine --version >/dev/null 2>&1 || die "the i386 Wine does not start under emulation"
    exec "$@"
}

# Whether this machine can give a namespace a binfmt_misc of its own.
can_emulate() {
    local major minor
    IFS=. read -r major minor _ <<<"$(uname -r)"
    if [ "$(id -u)" != 0 ]; then
        say "emulating i386 needs root"
        return 1
    elif [ "$major" -lt 6 ] || { [ "$major" = 6 ] && [ "$minor" -lt 7 ]; }; then
        say "emulating i386 needs Linux 6.7 or later (binfmt_misc per user namespace), not $(uname -r)"
        return 1
    fi
}

# In braces, read whole before it runs: the script may change meanwhile.
{
cmd=${1:-}
[ $# -ge 1 ] && shift
case $cmd in
    prepare)
        can_emulate || exit 77
        prepare
        ;;
    run | auto)
        [ $# -ge 1 ] || die "usage: $0 $cmd CMD..."
        if [ "$cmd" = auto ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
            exec "$@"
        fi
        can_emulate || exit 77
        prepare
        exec 9>&-
        in_namespace bash "$here/i386-env.sh" __inside "$@"
        ;;
    __inside) run_inside "$@" ;;
    __second-stage) second_stage ;;
    *) die "usage: $0 prepare | run CMD... | auto CMD..." ;;
esac
exit
}
