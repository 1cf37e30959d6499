-- ardour7-lua save_session.lua SESSION_DIR SNAPSHOT SAVE_AS
-- Loads the session and saves it as snapshot SAVE_AS, as a user who reopens and saves it.

dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "headless.lua")
local dir, snap, save_as = arg[1], arg[2], arg[3]

start_engine()
local s = load_session(dir, snap)
if not s then fail("cannot load session " .. dir .. " " .. snap) end
s:save_state(save_as, false, false, false)
print("saved " .. save_as)
leave(0)
