#!/usr/bin/env bash
# Multicast figures: reassembly speed, and the highest rate (Mbit/s of sample
# bytes) that reaches the player through a veth pair with no sample lost, with
# one and with two receivers. Needs root: it makes two network namespaces joined
# by two veth pairs (10.213.k.1 <-> 10.213.k.2) and removes them at the end.
# Usage: bench/run_multicast_bench.sh [BUILD_DIR] [benchmark options]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
shift || true
bench=$build/bench/bench_multicast

if [ "$(id -u)" -ne 0 ] || ! command -v ip >/dev/null; then
  echo "run_multicast_bench.sh: needs root and the ip tool; running the reassembly part only" >&2
  exec "$bench" --benchmark_filter=BM_Reassemble "$@"
fi

id=$$
caster=kivmcb${id}c
player=kivmcb${id}p
cleanup() {
  ip netns del "$caster" 2>/dev/null || true
  ip netns del "$player" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

ip netns add "$caster"
ip netns add "$player"
ip -n "$caster" link set lo up
ip -n "$player" link set lo up
for k in 1 2; do
  # Made inside the namespaces: the pairs never appear among the host's links.
  ip -n "$caster" link add "kb${id}c$k" type veth peer name "kb${id}p$k" netns "$player"
  ip -n "$caster" addr add "10.213.$k.1/24" dev "kb${id}c$k"
  ip -n "$player" addr add "10.213.$k.2/24" dev "kb${id}p$k"
  ip -n "$caster" link set "kb${id}c$k" multicast on up
  ip -n "$player" link set "kb${id}p$k" multicast on up
done
ip -n "$caster" route add 224.0.0.0/4 dev "kb${id}c1"
ip -n "$player" route add 224.0.0.0/4 dev "kb${id}p1"

echo "cores: $(nproc), load: $(cut -d' ' -f1-3 /proc/loadavg), rmem_max: $(cat /proc/sys/net/core/rmem_max)"
KIV_MCAST_CASTER_NS=$caster KIV_MCAST_PLAYER_NS=$player "$bench" "$@"
