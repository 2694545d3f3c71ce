// An empty program that the Windows check links with every object of the plain C++ layers.
int main()
{
    return 0;
}
