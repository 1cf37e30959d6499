# shellcheck shell=bash
# Sourced by the jalv and lv2file drivers: the build's names, a private work
# folder and home (private_run.sh), an LV2 path holding only the build's
# bundle and the test's presets, a six-channel test file, and the mix check.
#
#   source common.sh BUILD_DIR NAME

build=$(cd "${1:?usage: DRIVER BUILD_DIR}" && pwd)
lv2_cli=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=cmake/artefacts.env.in
source "$build/artefacts.env" || exit 1
# shellcheck source=tools/checks.sh
source "$lv2_cli/../../../tools/checks.sh"
# The python parts run with Debian's python3, the one with python3-jack-client.
lv2_tool() { /usr/bin/python3 "$lv2_cli/lv2_tool.py" "$@"; }
expected_mix() { /usr/bin/python3 "$lv2_cli/../expected_mix.py" "$@"; }

# shellcheck source=tests/real_hosts/private_run.sh
source "$lv2_cli/../private_run.sh" "$2"
export XDG_RUNTIME_DIR=$tmp/home
# The hosts see no LV2 plugin but ours (and the test's presets).
export LV2_PATH=$tmp/lv2
mkdir -p "$LV2_PATH"
ln -s "$build/$lv2_bundle" "$LV2_PATH/$lv2_bundle"

# start COMMAND...: runs it in the background in a process group of its own,
# ended with the test (private_run.sh); its id in $!. Its input is the
# caller's (a background command's would be /dev/null otherwise).
start() {
  setsid "$@" <&0 &
  : >"$tmp/groups/$!"
}

# stop ID: ends what start started, and waits for it.
stop() {
  kill -- "-$1" 2>/dev/null
  wait "$1" 2>/dev/null
  rm -f "$tmp/groups/$1"
}

# add_preset FILE PORTS CHUNK LABEL: a preset (lv2_tool state) in a
# bundle of the test's own on the LV2 path, as lilv hosts save user presets;
# its URI is the file's, file://$presets/FILE.
presets=$LV2_PATH/trimixer-test-presets.lv2
add_preset() {
  mkdir -p "$presets"
  lv2_tool state "$presets/$1" "$lv2_uri" "$2" "$3" "$4" || return 1
  [ -f "$presets/manifest.ttl" ] || cat >"$presets/manifest.ttl" <<TTL
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
TTL
  echo "<$1> a pset:Preset ; lv2:appliesTo <$lv2_uri> ; rdfs:seeAlso <$1> ." >>"$presets/manifest.ttl"
}

# A second of six channels, each its own tone, quiet enough that no mix of
# them clips, and the expectation the other host tests hold hosts to.
rate=48000
expected_mix tone "$tmp/tone.wav" 1 "$rate" || exit 1

# outputs_are_mix OUT.wav L1,L2,L3,M1,M2,M3,MASTER,BUSSES: every sample of the six
# outputs in OUT.wav is the tone's mix with these control values, in port order.
outputs_are_mix() {
  expected_mix compare "$tmp/tone.wav" "$@"
}
