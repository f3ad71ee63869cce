# Sourced by run.sh and run-gui.sh: starts iploc-service from "$bin" with the sample range
# table on a free port, keeping its state in "$demo", and stops it when the script exits.
# Afterwards $service_port holds the port it listens on.

service_pid=
stop_service() {
    if [ -n "$service_pid" ]; then
        kill "$service_pid" 2>/dev/null && wait "$service_pid" 2>/dev/null || true
    fi
}
trap stop_service EXIT

rm -f "$demo/service.port"
"$bin/iploc-service" --port 0 --port-file "$demo/service.port" --data-dir "$demo/service-data" \
    --ranges service/data/ranges-sample.csv 2>"$demo/service.log" &
service_pid=$!
for _ in $(seq 300); do
    [ -s "$demo/service.port" ] && break
    kill -0 "$service_pid" 2>/dev/null || { cat "$demo/service.log" >&2; exit 1; }
    sleep 0.1
done
[ -s "$demo/service.port" ] || { echo "iploc-service did not start" >&2; exit 1; }
service_port=$(cat "$demo/service.port")
