# The factory presets of both editions, the one place their values are set:
# cmake/FactoryPresets.cmake makes the LV2 bundle's presets.ttl and the
# VST 2.x edition's program files from these rows. Each row: the program
# file's name (without .fxp) | the LV2 preset's name after the plugin's URI
# and "#" | the label (an LV2 preset's rdfs:label, a program file's program
# name as the plugin cuts it) | the eight controls' values in their own units
# in port order: levels of pairs 1-3 (dB), their mutes (1 muted), the master
# level (dB), the busses (0 muted, 1 passed through).
set(TRIMIXER_FACTORY_PRESETS
  "three-pairs-at-unity|preset-unity|Three pairs at unity|0 0 0 0 0 0 0 0"
  "pair-1-only|preset-pair-1-only|Pair 1 only|0 0 0 0 1 1 0 0"
  "stems-to-stereo-minus-6-db|preset-stems-minus-6|Stems to stereo at -6 dB, busses passed through|-6 -6 -6 0 0 0 0 1"
)
