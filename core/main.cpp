// Process entry; the real start-up arrives with the daemon.
int main()
{
    return 0;
}
