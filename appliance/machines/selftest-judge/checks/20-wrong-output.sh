# Output other than expected.
echo actual
