import com.util.HostExec;
import java.io.File;

/**
 * Test driver: runs each argument through HostExec.exec, after turning
 * backslash-u escapes into characters; the argument "null" passes null.
 * "check:FILE" tells whether FILE exists now; "wait:FILE" waits up to ten
 * seconds for it to appear. A call that returns within two seconds is "fast".
 */
public class HostExecCalls {
    static String unescape(String s) {
        StringBuilder b = new StringBuilder();
        for (int i = 0; i < s.length(); i++) {
            if (s.startsWith("\\u", i) && i + 6 <= s.length()) {
                b.append((char) Integer.parseInt(s.substring(i + 2, i + 6), 16));
                i += 5;
            } else {
                b.append(s.charAt(i));
            }
        }
        return b.toString();
    }

    public static void main(String[] args) throws Exception {
        for (String arg : args) {
            if (arg.startsWith("check:")) {
                System.out.println(arg + " " + (new File(arg.substring(6)).exists() ? "present" : "absent"));
                continue;
            }
            if (arg.startsWith("wait:")) {
                File f = new File(arg.substring(5));
                long end = System.currentTimeMillis() + 10000;
                while (!f.exists() && System.currentTimeMillis() < end)
                    Thread.sleep(20);
                System.out.println(arg + " " + (f.exists() ? "appeared" : "missing"));
                continue;
            }
            long start = System.nanoTime();
            HostExec.exec(arg.equals("null") ? null : unescape(arg));
            long ms = (System.nanoTime() - start) / 1000000;
            System.out.println("returned " + (ms < 2000 ? "fast" : "slow"));
        }
    }
}
