-- Builds one session per plug-in and format: a stereo track with 3.5 s of recorded noise,
-- the plug-in inserted, a parameter set, an export, an automated export, saved.
dofile (os.getenv ("HC_LUA") .. "/common.lua")
start_engine ()

local function record_noise (case)
	local t = Session:new_audio_track (2, 2, nil, 1, "t", -1, ARDOUR.TrackMode.Normal, true):front ()
	t:rec_enable_control ():set_value (1, PBD.GroupControlDisposition.NoGroup)
	Session:maybe_enable_record ()
	Session:request_roll (ARDOUR.TransportRequestSource.TRS_UI)
	ARDOUR.LuaAPI.usleep (3500000)
	Session:request_stop (false, false, ARDOUR.TransportRequestSource.TRS_UI)
	settle ()
	t:rec_enable_control ():set_value (0, PBD.GroupControlDisposition.NoGroup)
	report (case, "recorded", t:playlist ():region_list ():size () == 1)
	return t
end

local function insert_set_and_export (case, t)
	local proc = ARDOUR.LuaAPI.new_plugin (Session, case.id, plugin_type (case), "")
	report (case, "found", not proc:isnil ())
	if proc:isnil () or t:add_processor_by_index (proc, 0, nil, true) ~= 0 then
		return
	end
	report (case, "inserted", true)
	local c, kind = control (proc, case.parameter)
	report (case, "control", kind)
	if c then
		settle ()
		report (case, "value-at-start", c:get_value ())
		c:set_value (case.value, PBD.GroupControlDisposition.NoGroup)
		settle ()
		report (case, "value-set", c:get_value ())
	end
	report (case, "latency", proc:signal_latency ())
	export (case, "first")

	if c then
		-- A lane holding the parameter at 0 for the whole span, played back.
		local al = c:alist ()
		report (case, "lane", not al:isnil ())
		if not al:isnil () then
			al:add (Temporal.timepos_t (0), 0.0, false, true)
			al:add (Temporal.timepos_t (span), 0.0, false, true)
			c:set_automation_state (ARDOUR.AutoState.Play)
			settle ()
			export (case, "automated")
			c:set_automation_state (ARDOUR.AutoState.Off)
			al:clear_list ()
			c:set_value (case.value, PBD.GroupControlDisposition.NoGroup)
			settle ()
		end
	end
end

for _, case in ipairs (cases ()) do
	assert (create_session (case.dir, case.session, rate))
	insert_set_and_export (case, record_noise (case))
	Session:save_state ("", false, false, false, false, false)
	-- The script's references to the session's objects go before the session does.
	collectgarbage ()
	close_session ()
end
