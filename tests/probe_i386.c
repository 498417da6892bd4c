/* Does nothing: tests/run-i386.sh starts it to learn whether the kernel executes 32-bit code. */
int main(void) {
    return 0;
}
