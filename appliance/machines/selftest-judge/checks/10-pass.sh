# Output and status as expected.
echo ok
