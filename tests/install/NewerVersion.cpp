// tarn-newer-version: a file that carries a high file version (9.0.0.0), to
// stand as an existing newer file in the installation tests. It does nothing.
int main() { return 0; }
