-- ardour7-lua export_session.lua SESSION_DIR SNAPSHOT OUT_DIR NAME
-- Exports the session range from the master bus as 32-bit float WAV OUT_DIR/NAME.wav.
-- It saves nothing: in Ardour 7.3 a save after an export in the same process crashes
-- in malloc now and then, with no plugin in the session as well (save_session.lua saves).

dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "headless.lua")
local dir, snap, out_dir, name = arg[1], arg[2], arg[3], arg[4]

start_engine()
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

print("exported " .. name)
leave(0)
