# Three unanswered requests in a row, each timed (reported): none leaves the
# reader waiting for good.  Then the BMC answers again and the reader gets
# its state.
for _ in 1 2 3 4; do
    appliance-time appliance-ipmi-readers x11ds
done
