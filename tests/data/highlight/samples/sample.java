public class Main { // entry
    static final int N = 0x10;
    public static void main(String[] args) { System.out.println("hi\n"); }
}
