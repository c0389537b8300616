/* Links against a function nobody defines. */
void missing_function(void);

int main(void) {
    missing_function();
    return 0;
}
