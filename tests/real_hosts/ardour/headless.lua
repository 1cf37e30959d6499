-- What every script here shares, loaded first with
--   dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "headless.lua")

-- Ends the script with CODE. exit() unloads Ardour's libraries while the engine's
-- process thread may still run the plugin (an LV2 plugin's ports are then read from
-- freed memory, and Ardour crashes): the engine is stopped first. The session is left
-- without its teardown, which crashes in Ardour 7.3 with no plugin in it as well.
function leave(code)
  AudioEngine:stop(false)
  os.exit(code, false)
end

function fail(msg)
  print("ERROR: " .. msg)
  leave(1)
end

-- Starts Ardour's engine on the dummy backend: no sound card, no display.
function start_engine()
  AudioEngine:set_backend("None (Dummy)", "", "")
  AudioEngine:start(false)
end
