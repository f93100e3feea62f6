# Status other than expected.
echo ok
exit 3
