-- Reopens every session the build step saved: the value the host reads back and a second
-- export of the same span.
dofile (os.getenv ("HC_LUA") .. "/common.lua")
start_engine ()

local function read_back_and_export (case)
	local proc = Session:route_by_name ("t"):nth_plugin (0)
	report (case, "reopened", not proc:isnil ())
	if proc:isnil () then
		return
	end
	settle ()
	local c = control (proc, case.parameter)
	if c then
		report (case, "value-reopened", c:get_value ())
	end
	report (case, "latency-reopened", proc:signal_latency ())
	export (case, "second")
	-- Plug-ins that follow the host tempo: a tempo of 90 with the lock on, and the value the
	-- host then reads for the followed parameter.
	local follower = ({ durafold = { "tempolock", "rate" }, revolva = { "bpmlock", "bpm" } })[case.name]
	if follower then
		local lock, followed = control (proc, follower[1]), control (proc, follower[2])
		if lock and followed then
			lock:set_value (1, PBD.GroupControlDisposition.NoGroup)
			local tm = Temporal.TempoMap.fetch_writable ()
			tm:set_tempo (Temporal.Tempo (90, 90, 4), Temporal.timepos_t (0))
			Temporal.TempoMap.update (tm)
			tm = nil
			settle ()
			report (case, "followed-at-90", followed:get_value ())
			lock:set_value (0, PBD.GroupControlDisposition.NoGroup)
		end
	end
	-- revolva passes on what it records: layer 1 records the track and plays.
	if case.name == "revolva" then
		for _, p in ipairs ({ "record1", "play1" }) do
			local s = control (proc, p)
			if s then
				s:set_value (1, PBD.GroupControlDisposition.NoGroup)
			end
		end
		settle ()
		export (case, "recording")
	end
end

for _, case in ipairs (cases ()) do
	if load_session (case.dir, case.session) then
		read_back_and_export (case)
		-- The script's references to the session's objects go before the session does.
		collectgarbage ()
		close_session ()
	else
		report (case, "reopened", false)
	end
end
