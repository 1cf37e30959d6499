-- ardour7-lua list_plugins.lua TYPE
-- Ardour's own plugin listing for one ARDOUR.PluginType name (e.g. LV2), a line a plugin:
-- NAME | ID | MAKER | audio IN in OUT out | midi IN in OUT out

dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "headless.lua")
local plugin_type = ARDOUR.PluginType[arg[1]]
if not plugin_type then fail("no plugin type " .. tostring(arg[1])) end

start_engine()
for info in ARDOUR.LuaAPI.list_plugins():iter() do
  if info.type == plugin_type then
    print(string.format("%s | %s | %s | audio %d in %d out | midi %d in %d out", info.name,
      info.unique_id, info.creator, info.n_inputs:n_audio(), info.n_outputs:n_audio(),
      info.n_inputs:n_midi(), info.n_outputs:n_midi()))
  end
end
leave(0)
