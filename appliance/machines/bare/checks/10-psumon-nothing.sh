# Nothing at 00:1C.0 and nothing at 0x2E/0x2F: every read gives all ones.
. /machines/psumon-watch.sh
psumon
echo "psumon: $?"
psumon -test
echo "psumon -test: $?"
watch -loop
