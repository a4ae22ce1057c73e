// The program entry on Linux: the arguments are already UTF-8.
int qvhostMain(int argc, char** argv);

int main(int argc, char** argv) { return qvhostMain(argc, argv); }
