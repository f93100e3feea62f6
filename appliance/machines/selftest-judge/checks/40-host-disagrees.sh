# The guest agrees, the host does not.
echo ok
