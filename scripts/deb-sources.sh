# Shell functions shared by the scripts that build third-party libraries from Debian's source
# packages (scripts/web-deps, scripts/win-deps). Sourced, not run. The caller sets:
#   tool  its own name, for messages
#   src   the folder the sources are unpacked into
#   jobs  how many compilers run at once

as_root() {
    if [[ $(id -u) -eq 0 ]]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo "$@"
    else
        echo "$tool: need root or sudo to run: $*" >&2
        exit 1
    fi
}

# Adds deb-src entries mirroring the configured deb entries, so apt-get source can work.
ensure_source_entries() {
    if apt-cache showsrc libopenmpt 2>/dev/null | grep -q '^Package:'; then
        return
    fi
    local list=/etc/apt/sources.list.d/parade-src.sources
    echo "$tool: adding Debian source entries ($list)" >&2
    local tmp
    tmp=$(mktemp)
    {
        for f in /etc/apt/sources.list.d/*.sources; do
            [[ -f "$f" && "$f" != "$list" ]] || continue
            # Only stanzas whose Types include deb; the copy is of type deb-src.
            awk 'BEGIN { RS = ""; ORS = "\n\n" }
                 /(^|\n)Types:[^\n]*(^|[ \t])deb([ \t\n]|$)/ {
                     sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }' "$f"
        done
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
            [[ -f "$f" ]] || continue
            grep -E '^deb[[:space:]]' "$f" | sed -E 's/^deb([[:space:]])/Types: deb-src\n#LINE\1/' |
                awk '/^#LINE/ { n = split($0, w, /[ \t]+/); i = 2;
                       if (w[i] ~ /^\[/) { while (w[i] !~ /\]$/) i++; i++ }
                       printf "URIs: %s\nSuites: %s\nComponents:", w[i], w[i + 1];
                       for (j = i + 2; j <= n; j++) printf " %s", w[j]; printf "\n\n"; next } { print }'
        done
    } >"$tmp"
    if ! grep -q '^URIs:' "$tmp"; then
        rm -f "$tmp"
        echo "$tool: no Debian archive is configured in /etc/apt; add a deb-src entry for bookworm main" >&2
        exit 1
    fi
    as_root install -m 644 "$tmp" "$list"
    rm -f "$tmp"
    as_root apt-get -o DPkg::Lock::Timeout=600 update -qq
}

# The newest version of a Debian source package the archive offers.
source_version() {
    ensure_source_entries >&2
    apt-cache showsrc --only-source "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1
}

# Unpacks the Debian source of a package (optionally "package=version") into $src/<package>
# (once).
fetch_source() {
    local wanted=$1 package=${1%%=*}
    if [[ -d "$src/$package" ]]; then
        return
    fi
    ensure_source_entries
    local tmp=$src/.fetch-$package
    rm -rf "$tmp"
    mkdir -p "$tmp"
    (cd "$tmp" && apt-get source -qq "$wanted" >/dev/null 2>&1) || {
        echo "$tool: apt-get source $wanted failed" >&2
        exit 1
    }
    local dir
    dir=$(find "$tmp" -mindepth 1 -maxdepth 1 -type d | head -n 1)
    mv "$dir" "$src/$package"
    rm -rf "$tmp"
}

# Compiles libopenmpt's library sources (no player, examples or tests, no optional codecs)
# into a static library, through make, so an interrupted build resumes where it stopped:
#   build_openmpt_library SOURCE OBJDIR LIBRARY AR COMPILER FLAGS...
# Objects built with other flags (an older build tree) are built again. Returns at once when
# LIBRARY exists and the flags are unchanged.
build_openmpt_library() {
    local s=$1 obj=$2 lib=$3 ar=$4
    shift 4
    local flags=("$@" -DLIBOPENMPT_BUILD -I"$s" -I"$s/common" -I"$s/src" -I"$s/build/svn_version")
    # The version stamps that configure would define.
    local name value
    while read -r name value; do
        flags+=("-D$name=$value")
    done < <(sed -n -E 's/^AC_DEFINE\(\[(MPT_SVNVERSION|MPT_SVNDATE|MPT_PACKAGE)\], \[([^]]*)\].*/\1 \2/p' \
        "$s/configure.ac" | sed -E "s/ \"(.*)\"$/ '\"\1\"'/")
    local files=()
    mapfile -t files < <(grep -o '[A-Za-z0-9_/.+-]*\.cpp' "$s/Makefile.am" | sort -u |
        grep -E '^(common|soundlib|sounddsp|libopenmpt)/' | grep -v -E 'libopenmpt_test|modplug')
    local mk=$obj/Makefile
    mkdir -p "$obj"
    {
        echo "all: $(printf '%s.o ' "${files[@]//\//_}")"
        for f in "${files[@]}"; do
            printf '%s.o: %s\n\t%s -c $< -o $@\n' "${f//\//_}" "$s/$f" "${flags[*]}"
        done
    } >"$mk.new"
    if cmp -s "$mk.new" "$mk"; then
        rm -f "$mk.new"
        [[ -f "$lib" ]] && return
    else
        rm -f "$obj"/*.o
        mv "$mk.new" "$mk"
    fi
    echo "$tool: building libopenmpt (the longest step)" >&2
    make -s -C "$obj" -j"$jobs" -f "$mk"
    mkdir -p "$(dirname "$lib")"
    rm -f "$lib.tmp"
    $ar rcs "$lib.tmp" "$obj"/*.o
    mv "$lib.tmp" "$lib"
}

# Copies libopenmpt's public headers into INCLUDE/libopenmpt.
install_openmpt_headers() {
    local s=$1 include=$2
    mkdir -p "$include/libopenmpt"
    cp "$s"/libopenmpt/libopenmpt.h "$s"/libopenmpt/libopenmpt.hpp \
        "$s"/libopenmpt/libopenmpt_config.h "$s"/libopenmpt/libopenmpt_version.h \
        "$s"/libopenmpt/libopenmpt_ext.h "$s"/libopenmpt/libopenmpt_ext.hpp "$include/libopenmpt/"
}
