-- ardour7-lua build_session.lua SESSION_DIR SNAPSHOT TYPE PLUGIN_NAME [PARAMETER=VALUE]...
-- TYPE is an ARDOUR.PluginType name (LXVST, LV2). VALUE is what Ardour's parameter takes:
-- normalised for a VST, the port's own units for an LV2 plugin. The PARAMETER "preset"
-- loads the preset Ardour lists with the label VALUE instead.

dofile(debug.getinfo(1, "S").source:match("^@(.*/)") .. "headless.lua")
local dir, snap, type_name, plugin_name = arg[1], arg[2], arg[3], arg[4]

start_engine()
local s = load_session(dir, snap)
if not s then fail("cannot load session " .. dir) end

local track = s:new_audio_track(6, 6, nil, 1, "mix", -1, ARDOUR.TrackMode.Normal, true):front()
local plugin_type = ARDOUR.PluginType[type_name]
if not plugin_type then fail("no plugin type " .. type_name) end
local proc = ARDOUR.LuaAPI.new_plugin(s, plugin_name, plugin_type, "")
if proc:isnil() then fail("no " .. type_name .. " plugin named " .. plugin_name) end
if not track:add_processor_by_index(proc, 0, nil, true) then fail("plugin not inserted") end

-- Panners would spread channels across outputs; bypassed, output N carries plugin output N.
track:panner_shell():set_bypassed(true)
local master = s:master_out()
master:panner_shell():set_bypassed(true)
track:output():disconnect_all(nil)
for i = 0, 5 do
  track:output():audio(i):connect(master:input():audio(i):name())
end

local plug = proc:to_insert():plugin(0)

local function load_preset(label)
  local preset = plug:preset_by_label(label)
  if not preset.valid or not plug:load_preset(preset) then fail("no preset " .. label) end
end

for i = 5, #arg do
  local name, value = arg[i]:match("^(.-)=(.*)$")
  local found = name == "preset"
  if found then load_preset(value) end
  for j = 0, plug:parameter_count() - 1 do
    if plug:parameter_is_control(j) and plug:parameter_label(j) == name then
      -- Ardour refuses a value outside the parameter's range: a normalised level
      -- sent to an LV2 port in dB shows here rather than in the mix.
      if not ARDOUR.LuaAPI.set_processor_param(proc, j, tonumber(value)) then
        fail("Ardour refused " .. arg[i])
      end
      found = true
    end
  end
  if not found then fail("no parameter named " .. name) end
end

s:save_state("", false, false, false)
print("saved " .. dir)
leave(0)
