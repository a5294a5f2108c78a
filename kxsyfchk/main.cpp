// main.cpp: placeholder entry until the check driver lands.
int main()
{
    return 0;
}
