# A reply too long for the reader's buffer arrives truncated: the kernel says
# so, and its first byte still counts.  Success without a data byte counts as
# a failure (state 0), named on standard error.  Of a longer Master Write-Read
# reply only the first byte counts.
appliance-ipmi-readers x11ds x11ds x10drli
