# Sourced by the scripts that start a private sound server. Gives this shell
# a runtime folder, home and configuration of its own under WORK, with a
# PipeWire drop-in whose null sink "rec" at 48 kHz drives the graph and a
# PulseAudio configuration at the same rate.
#
#   private_sound_home WORK
#   start_session_bus PIDFILE    # PipeWire needs a D-Bus session bus
private_sound_home() {
  export XDG_RUNTIME_DIR=$1/runtime HOME=$1/home XDG_CONFIG_HOME=$1/config
  export PULSE_CONFIG_PATH=$XDG_CONFIG_HOME/pulse
  mkdir -p -m 700 "$XDG_RUNTIME_DIR" "$HOME" "$XDG_CONFIG_HOME/pipewire/pipewire.conf.d" \
    "$PULSE_CONFIG_PATH"
  echo "default-sample-rate = 48000" >"$PULSE_CONFIG_PATH/daemon.conf"
  cat >"$XDG_CONFIG_HOME/pipewire/pipewire.conf.d/null-sink.conf" <<'CONF'
context.properties = { default.clock.rate = 48000 }
context.objects = [
  { factory = adapter
    args = { factory.name = support.null-audio-sink node.name = rec
             media.class = Audio/Sink audio.position = [ FL FR ]
             node.driver = true priority.driver = 8000 } }
]
CONF
}

start_session_bus() {
  export DBUS_SESSION_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
  dbus-daemon --session --address="$DBUS_SESSION_BUS_ADDRESS" --nofork >/dev/null 2>&1 &
  echo $! >>"$1"
}
