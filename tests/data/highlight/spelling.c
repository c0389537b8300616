/* This module recieves bytes from the serial port and stores them in a ring
 * buffer until the applicaton reads them. It doesn't block; it's safe to call
 * from an interupt handler as long as only one writer exists.
 */
static int count; // the nubmer of bytes waiting, never more than the capacity
// Calculates the checksum: a simple addition, wich wraps around silently.
/* Recieve, transmitt and acknowledge are the three kinds of frames. */
int main(void) { return 0; } // retun zero when everything went well
