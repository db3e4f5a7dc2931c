-- Shared by the host check's session scripts: the engine, the cases and the helpers.
-- Every result line reads "HC|<plug-in>|<format>|<key>|<value>".

rate = 48000
span = 3 * rate                                -- exported samples
preset = "6a0c5a8e-3f1e-4d6b-9a55-1c0e7b2f9a02" -- float WAVE without dither (written by host-check.sh)

function report (case, key, value)
	print (string.format ("HC|%s|%s|%s|%s", case.name, case.format, key, tostring (value)))
end

function start_engine ()
	assert (AudioEngine:set_backend ("None (Dummy)", "", ""))
	AudioEngine:set_device_name ("Uniform White Noise")
	AudioEngine:set_sample_rate (rate)
	AudioEngine:set_buffer_size (512)
	assert (AudioEngine:start (false) == 0)
end

-- HC_CASES: "name format id parameter value;..." (id: LV2 URI or VST3 plug-in name)
function cases ()
	local list = {}
	for item in string.gmatch (os.getenv ("HC_CASES"), "[^;]+") do
		local name, format, id, parameter, value = string.match (item, "(%S+) (%S+) (%S+) (%S+) (%S+)")
		list[#list + 1] = { name = name, format = format, id = id, parameter = parameter, value = tonumber (value),
		                    dir = os.getenv ("HC_ROOT") .. "/" .. name .. "-" .. format, session = name .. "-" .. format }
	end
	return list
end

function plugin_type (case)
	return case.format == "LV2" and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.VST3
end

-- The host's control of a parameter: a control port where the plug-in has one, otherwise
-- an LV2 property (Ardour numbers those by its own URIDs, so they are looked up by name).
function control (proc, name)
	local plug = proc:to_insert ():plugin (0)
	for i = 0, plug:parameter_count () - 1 do
		if plug:parameter_is_input (i) and plug:parameter_is_control (i) and plug:parameter_label (i) == name then
			return proc:to_automatable ():automation_control (Evoral.Parameter (ARDOUR.AutomationType.PluginAutomation, 0, i), false), "port"
		end
	end
	for id = 1, 4096 do
		local c = proc:to_automatable ():automation_control (Evoral.Parameter (ARDOUR.AutomationType.PluginPropertyAutomation or 8, 0, id), false)
		if not c:isnil () and string.match (c:name (), ":" .. name .. "$") then
			return c, "property"
		end
	end
	return nil, "none"
end

function export (case, name)
	local e = Session:simple_export ()
	e:set_range (0, span)
	e:set_folder (case.dir .. "/out")
	e:set_name (name)
	assert (e:set_preset (preset))
	report (case, "export-" .. name, e:run_export ())
end

function settle ()
	ARDOUR.LuaAPI.usleep (400000)
end
