#!/usr/bin/env bash
# Runs MusE 4.1's plugin scanner (muse_plugin_scan, the program MusE starts on
# each plugin library it finds) on the VST 2.x library, and checks what it
# records: the names, the vendor and its version, six audio inputs and
# outputs, and the parameters under the names the plugin gives trimhost.
# (Given the LV2 bundle or its library, the scanner records an unknown kind
# and nothing else.) Ends with "muse: N passed, M failed".
#
#   tests/real_hosts/muse/run.sh BUILD_DIR   # a Linux build tree with the library and trimhost
set -uo pipefail

build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=cmake/artefacts.env.in
source "$build/artefacts.env" || exit 1
# shellcheck source=tools/checks.sh
source "$here/../../../tools/checks.sh"
library=$build/src/$plugin_library

# shellcheck source=tests/real_hosts/private_run.sh
source "$here/../private_run.sh" muse

# same WANT GOT: they are equal; if not, both are shown.
same() {
  [ "$1" = "$2" ] || { printf 'recorded: %s; want: %s\n' "$2" "$1"; return 1; }
}

# recorded PATH: the text of each element at PATH (below the plugin's), or
# with PATH "port@name" the names of its named ports, a line each.
recorded() {
  python3 - "$tmp/scan.xml" "$1" <<'EOF'
import sys
import xml.etree.ElementTree as ET
try:
    plugin = ET.parse(sys.argv[1]).getroot().find("plugin")
except ET.ParseError as e:
    sys.exit("no record of the plugin: %s" % e)
if sys.argv[2] == "port@name":
    print("\n".join(p.get("name") for p in plugin.iter("port") if p.get("name")))
else:
    print("\n".join(e.text or "" for e in plugin.findall(sys.argv[2])))
EOF
}

# scan: the scanner's record of the library, in scan.xml. Type 16 is the
# Linux VST kind; -p adds the ports. It writes only into a file that exists,
# and exits 0 also when it cannot load the library: its record then has type
# 32768 and nothing else.
scan() {
  : >"$tmp/scan.xml"
  if ! guarded "$tmp/scan.log" /usr/bin/muse_plugin_scan -t 16 -f "$library" -o "$tmp/scan.xml" -p ||
    ! same 16 "$(recorded type)"; then
    cat "$tmp/scan.log"
    return 1
  fi
}

# trimhost_says FIELD: what trimhost info found in the library (--json); the
# library is read once, and its errors shown.
"$build/trimhost/trimhost" info "$library" --json >"$tmp/info.json"
trimhost_says() {
  [ -s "$tmp/info.json" ] || return 1
  python3 -c '
import json, sys
info = json.load(open(sys.argv[2]))
value = info[sys.argv[1]]
print("\n".join(p["name"] for p in value) if sys.argv[1] == "parameters" else value)' "$1" "$tmp/info.json"
}

# The vendor version as MusE shows it: the number's three low bytes.
version=$(trimhost_says vendor_version)
version_shown=$((version >> 16 & 255)).$((version >> 8 & 255)).$((version & 255))

check "the scanner loads $plugin_library" scan
check "its name is \"$effect_name_shown\"" same "$effect_name_shown" "$(recorded name)"
check "its description is \"$effect_name\"" same "$effect_name" "$(recorded description)"
check "its maker is \"$vendor\"" same "$vendor" "$(recorded maker)"
check "its vendor version is $version, shown as $version_shown" \
  same "$version $version_shown" "$(recorded pluginVersionMinor) $(recorded version)"
check "6 audio inputs and 6 audio outputs" same "6 6" "$(recorded inports) $(recorded outports)"
check "8 parameters" same 8 "$(recorded ctlInports)"
check "the parameters' names are those trimhost shows" \
  same "$(trimhost_says parameters)" "$(recorded port@name)"
checks_summary muse
