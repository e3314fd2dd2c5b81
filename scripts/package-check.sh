#!/usr/bin/env bash
# CI check of the Debian package:
#   1. builds the program and the package (cpack -G DEB),
#   2. validates the desktop entry and the AppStream metainfo, checks the contents,
#   3. installs the package (as root: into the system with apt-get; otherwise
#      unpacked into a read-only temporary root; VANTREL_PACKAGE_CHECK=destdir
#      chooses that as root too),
#   4. starts the installed program offscreen as an ordinary user with a fresh home
#      and checks that settings, log and database appear in that home and nowhere else,
#   5. as root: purges the package and checks that no file of it is left behind.
# Usage: scripts/package-check.sh [build-dir]   (default build/, configured when missing)
# The program runs for VANTREL_RUN_SECONDS seconds (default 5).
set -euo pipefail
cd "$(dirname "$0")/.."

readonly package=vantrel-monitor
readonly app_id=invalid.vantrel.monitor
readonly run_seconds=${VANTREL_RUN_SECONDS:-5}
build=$(realpath -m "${1:-build}")
work=$(mktemp -d /tmp/vantrel-package-check.XXXXXX)
chmod 755 "$work"
user=""
installed_by_us=false
failures=0

say() { echo "package-check: $*"; }
fail() {
    echo "package-check: FAIL: $*" >&2
    failures=$((failures + 1))
}
die() {
    echo "package-check: FAIL: $*" >&2
    exit 1
}
is_root() { [ "$(id -u)" -eq 0 ]; }

cleanup() {
    if [ -n "$user" ] && id "$user" >/dev/null 2>&1; then
        pkill -KILL -u "$user" 2>/dev/null || true
        userdel --remove "$user" 2>/dev/null || true
    fi
    if $installed_by_us && dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
        apt-get purge -y -qq "$package" >/dev/null 2>&1 || true
    fi
    chmod -R u+w "$work" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# --- tools -----------------------------------------------------------------
ensure_tools() {
    local -A wanted=([desktop-file-validate]=desktop-file-utils [appstreamcli]=appstream
        [dpkg-shlibdeps]=dpkg-dev [file]=file [fakeroot]=fakeroot)
    local missing=() tool
    for tool in "${!wanted[@]}"; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("${wanted[$tool]}")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    is_root || die "missing tools, install: ${missing[*]}"
    say "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# --- build -----------------------------------------------------------------
build_package() {
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DVANTREL_BUILD_TESTS=OFF -DVANTREL_BUILD_BENCHMARKS=OFF >/dev/null
    else
        cmake -S . -B "$build" >/dev/null # picks up changed install rules
    fi
    if grep -q '^VANTREL_SANITIZE:BOOL=ON' "$build/CMakeCache.txt"; then
        die "$build is a sanitizer build; package a plain one"
    fi
    cmake --build "$build" -j "$(nproc)"
    rm -rf "$build/package"
    (cd "$build" && cpack -G DEB -B "$build/package" >"$work/cpack.log") ||
        { cat "$work/cpack.log"; die "cpack failed"; }
    deb=$(find "$build/package" -maxdepth 1 -name "${package}_*.deb" | head -n 1)
    [ -n "$deb" ] || die "cpack made no ${package}_*.deb"
    say "built $deb"
}

# --- package contents --------------------------------------------------------
check_control() {
    local depends version project_version
    depends=$(dpkg-deb --field "$deb" Depends)
    say "Depends: $depends"
    # Derived by dpkg-shlibdeps from the libraries the program links.
    local names
    names=$(sed -e 's/ *([^)]*)//g' -e 's/, */\n/g' <<<"$depends")
    for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6sql6 \
        libqt6sql6-sqlite; do
        grep -Fxq "$library" <<<"$names" || fail "Depends lacks $library"
    done
    version=$(dpkg-deb --field "$deb" Version)
    project_version=$(sed -n 's/^project(VantrelMonitor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    [ "$version" = "$project_version" ] || fail "package version $version, project $project_version"
    grep -q "<release version=\"$version\"" "packaging/$app_id.metainfo.xml" ||
        fail "metainfo has no release entry for $version"
    head -n 1 packaging/debian/changelog | grep -Fq "$package ($version)" ||
        fail "packaging/debian/changelog does not start with $version"
}

expected_files() {
    echo "/usr/bin/$package"
    [ -d tools/monitor-sim ] && echo "/usr/bin/$package-sim"
    echo "/usr/share/applications/$package.desktop"
    echo "/usr/share/metainfo/$app_id.metainfo.xml"
    echo "/usr/share/icons/hicolor/scalable/apps/$package.svg"
    for size in 16 24 32 48 64 128 256; do
        echo "/usr/share/icons/hicolor/${size}x${size}/apps/$package.png"
    done
    echo "/usr/lib/udev/rules.d/70-$package.rules"
    echo "/usr/share/doc/$package/packaging.md"
    echo "/usr/share/doc/$package/changelog.gz"
    echo "/usr/share/man/man1/$package.1.gz"
    [ -f README.md ] && echo "/usr/share/doc/$package/README.md"
    return 0
}

# Everything the package holds is expected: no test programs, libraries or
# headers slip in.
check_contents() {
    local unexpected
    dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -n 's|^\./\(.*[^/]\)$|/\1|p' | sort >"$work/contents"
    unexpected=$(expected_files | sort | comm -23 "$work/contents" -)
    [ -z "$unexpected" ] || fail "unexpected files in the package: $unexpected"
}

check_tree() { # $1: root the package was unpacked or installed into
    local root=$1 file
    while read -r file; do
        [ -e "$root$file" ] || fail "not installed: $file"
    done < <(expected_files)
    [ -x "$root/usr/bin/$package" ] || fail "/usr/bin/$package is not executable"
    desktop-file-validate "$root/usr/share/applications/$package.desktop" ||
        fail "desktop-file-validate rejects the desktop entry"
    appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
        fail "appstreamcli rejects the metainfo"
    grep -q '^Exec=vantrel-monitor$' "$root/usr/share/applications/$package.desktop" ||
        fail "desktop entry does not start vantrel-monitor"
    local rules="$root/usr/lib/udev/rules.d/70-$package.rules"
    grep -q 'TAG+="uaccess"' "$rules" || fail "udev rule does not grant uaccess"
    # udevadm reports syntax faults while reading the rules of the system.
    if [ -z "$root" ] && command -v udevadm >/dev/null 2>&1 && [ -e /sys/class/tty/tty0 ]; then
        ! udevadm test /class/tty/tty0 2>&1 | grep -F "$rules:" || fail "udev rejects $rules"
    fi
}

# --- first start as an ordinary user ----------------------------------------
snapshot_user_files() { # files owned by $1 outside its home and runtime folder
    find / -xdev -user "$1" -print 2>/dev/null | grep -v -e "^$2\(/\|$\)" -e "^$3\(/\|$\)" || true
}

# Runs the program as $user (root) or as the caller with HOME=$home (non-root).
run_program() { # $1: program path
    local program=$1 status=0
    local runtime="$work/runtime"
    mkdir -p "$runtime"
    chmod 700 "$runtime"
    local env_vars=(HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 QT_QPA_PLATFORM=offscreen
        XDG_RUNTIME_DIR="$runtime")
    say "starting $program for ${run_seconds}s as ${user:-$(id -un)}"
    if [ -n "$user" ]; then
        chown "$user:" "$runtime"
        runuser -u "$user" -- env -i "${env_vars[@]}" \
            timeout "$run_seconds" "$program" >"$work/program.log" 2>&1 || status=$?
    else
        env -i "${env_vars[@]}" timeout "$run_seconds" "$program" >"$work/program.log" 2>&1 ||
            status=$?
    fi
    if [ "$status" -ne 124 ]; then
        cat "$work/program.log" >&2
        fail "program ended with status $status before the timeout"
    fi
}

check_first_start() { # $1: root of the installation
    local root=$1 config="$home/.config/$package"
    local stamp="$work/stamp"
    touch "$stamp"
    sleep 1 # so that files written during the run are strictly newer
    run_program "$root/usr/bin/$package"
    say "files in the fresh home:"
    (cd "$home" && find . -newer "$stamp" -type f | sort | sed 's/^/    /')
    [ -f "$config/Setttings.conf" ] || fail "no $config/Setttings.conf"
    [ -f "$config/OutLog.txt" ] || fail "no $config/OutLog.txt"
    [ -f "$home/VantrelMonitorSoftware/Database/Data.db" ] ||
        fail "no $home/VantrelMonitorSoftware/Database/Data.db"
    grep -Fxq "DATABASE_FILE_PATH = $home/VantrelMonitorSoftware/Database" \
        "$config/Setttings.conf" 2>/dev/null || fail "settings do not point into the home"
    local stray
    stray=$(find "$root/usr" -newer "$stamp" -print 2>/dev/null)
    [ -z "$stray" ] || fail "the program wrote into the install prefix: $stray"
    if [ -n "$user" ]; then
        stray=$(snapshot_user_files "$user" "$home" "$work/runtime")
        [ -z "$stray" ] || fail "the program wrote outside the home: $stray"
    fi
}

# --- install and remove ----------------------------------------------------
list_system_files() {
    find /usr /etc /opt -xdev \( -type f -o -type l \) 2>/dev/null | sort
}
list_packages() { dpkg-query -W -f='${Package}\n' | sort; }

system_install_check() {
    if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed; then
        say "removing a $package left from before"
        apt-get purge -y -qq "$package" >/dev/null
    fi
    list_system_files >"$work/files-before"
    list_packages >"$work/packages-before"
    say "apt-get install $deb"
    installed_by_us=true
    export DEBIAN_FRONTEND=noninteractive
    # A dependency missing from stale package lists needs a fresh list first.
    apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
        { apt-get update -qq && apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1; } ||
        { cat "$work/apt.log"; die "apt-get install failed"; }
    dpkg -L "$package" >"$work/package-files"
    check_tree ""

    first_start_as_new_user ""

    say "apt-get purge $package"
    apt-get purge -y -qq "$package" >>"$work/apt.log" 2>&1 ||
        { cat "$work/apt.log"; die "apt-get purge failed"; }
    installed_by_us=false
    ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q installed ||
        fail "$package is still known to dpkg"
    check_nothing_left
}

check_nothing_left() {
    local file left
    while read -r file; do
        [ -d "$file" ] && continue # shared folders such as /usr/bin stay
        [ ! -e "$file" ] || fail "left behind: $file"
    done <"$work/package-files"
    [ ! -e "/usr/share/doc/$package" ] || fail "left behind: /usr/share/doc/$package"
    # Files that appeared meanwhile, less those of dependencies apt pulled in,
    # the caches that dpkg triggers rebuild and the account files' backups
    # that adding the test user leaves.
    list_packages >"$work/packages-after"
    comm -13 "$work/packages-before" "$work/packages-after" | xargs -r dpkg -L 2>/dev/null |
        sort -u >"$work/dependency-files"
    list_system_files | comm -13 "$work/files-before" - | comm -23 - "$work/dependency-files" |
        grep -v -E '/(icon-theme\.cache|mimeinfo\.cache|ld\.so\.cache)$' |
        grep -v -E '^/etc/(passwd|group|shadow|gshadow|subuid|subgid)-$' >"$work/left" || true
    left=$(cat "$work/left")
    [ -z "$left" ] || fail "left behind after purge: $left"
}

# As root: a new ordinary user with a fresh home. Otherwise the caller, with a
# fresh home in the work folder.
first_start_as_new_user() { # $1: root of the installation
    if is_root; then
        user="vm-pkgcheck-$$"
        home="/home/$user"
        useradd --create-home --home-dir "$home" --shell /bin/sh "$user"
    else
        home="$work/home"
        mkdir -p "$home"
    fi
    check_first_start "$1"
    if [ -n "$user" ]; then
        pkill -KILL -u "$user" 2>/dev/null || true
        userdel --remove "$user" 2>/dev/null
        user=""
    fi
}

destdir_install_check() {
    local root="$work/root"
    say "unpacking $deb into $root"
    dpkg-deb -x "$deb" "$root"
    check_tree "$root"
    # An installed program's folders are not the user's to write.
    is_root || chmod -R a-w "$root"
    first_start_as_new_user "$root"
}

ensure_tools
build_package
check_control
check_contents
if [ "${VANTREL_PACKAGE_CHECK:-}" != destdir ] && is_root && command -v apt-get >/dev/null 2>&1; then
    system_install_check
else
    destdir_install_check
fi
if [ "$failures" -ne 0 ]; then
    say "$failures check(s) failed"
    exit 1
fi
say "all package checks passed"
