/* Exits with 32 when it runs: scripts/wine-env.sh builds it for i686 and starts it under Wine to
   learn whether this machine runs 32-bit Windows programs. */
int main(void)
{
    return sizeof(void*) == 4 ? 32 : 1;
}
