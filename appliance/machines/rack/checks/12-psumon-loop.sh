# Both watches, each ended by a signal once its first state is out.
. /machines/psumon-watch.sh
watch -loop
watch -loopex
