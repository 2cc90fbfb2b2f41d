# The project's one version, and the forms the packages and the plug-in carry
# it in, for the checks that they agree.

# x.y.z from project(... VERSION x.y.z ...) in CMakeLists.txt.
project_version() {
    sed -n 's/^project([A-Za-z]* VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt
}

# x.y, as the about text and the frei0r filter give it.
major_minor() {
    echo "${1%.*}"
}

# The host's packed version of x.y.z, a release build 1, in decimal.
packed_version() {
    local major minor patch
    IFS=. read -r major minor patch <<<"$1"
    echo $(((major << 19) | (minor << 15) | (patch << 11) | (3 << 9) | 1))
}

# The eVER property of the plug-in property list within a binary (vendor,
# key, id, length, value; each four bytes, little-endian), in decimal.
property_list_version() {
    local offset
    offset=$(grep -obUa 'MIB8REVe' "$1" | head -n 1 | cut -d: -f1)
    [ -n "$offset" ] || { echo "none"; return; }
    od -An -tu4 -j $((offset + 16)) -N4 "$1" | tr -d ' '
}
