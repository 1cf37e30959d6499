-- ardour7-lua export_session.lua SESSION_DIR SNAPSHOT OUT_DIR NAME [SAVE_AS]
-- Exports the session range from the master bus as 32-bit float WAV OUT_DIR/NAME.wav;
-- with SAVE_AS, then saves the loaded session as that snapshot.
local dir, snap, out_dir, name, save_as = arg[1], arg[2], arg[3], arg[4], arg[5]

local function fail(msg) print("ERROR: " .. msg) os.exit(1) end

AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:start(false)
local s = load_session(dir, snap)
if not s then fail("cannot load session " .. dir .. " " .. snap) end

local range = s:locations():session_range_location()
if not range then fail("session has no range") end
local ex = s:simple_export()
ex:set_name(name)
ex:set_folder(out_dir)
ex:set_range(range:start():samples(), range:_end():samples())
if not ex:set_preset("7b1f5e2c-4d9a-4c61-9f0e-2a6b3c8d4e51") then fail("export preset not found") end
if not ex:check_outputs() then fail("nothing to export") end
if not ex:run_export() then fail("export failed") end

if save_as then s:save_state(save_as, false, false, false) end
print("exported " .. name)
-- As in build_session.lua: leave without the session teardown that crashes.
os.exit(0, false)
