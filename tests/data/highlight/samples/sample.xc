void task(chanend c, port p) { timer t; par { f(); g(); } }
