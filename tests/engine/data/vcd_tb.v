// A small design and its testbench for the VCD reader's test: a counter
// with enable and reset, a byte shifter with a tri-state output, and a real.
// The testbench strobes (end of the time step) every value it checks as
// "CHECK <time> <name> <binary value>" and "REAL <time> <name> <value>".
`timescale 1ps / 1ps

module counter (input clk, input rst, input en, output reg [7:0] count);
    always @(posedge clk)
        if (rst)
            count <= 8'd0;
        else if (en)
            count <= count + 8'd1;
endmodule

module shifter (input clk, input din, input oe, output [3:0] q, output reg [3:0] state);
    always @(posedge clk)
        state <= {state[2:0], din};
    assign q = oe ? state : 4'bz;
endmodule

module tb;
    reg clk = 0, rst = 1, en = 0, din = 0, oe = 0;
    wire [7:0] count;
    wire [3:0] q, state;
    real level = 0.0;
    integer step;

    counter dut (.clk(clk), .rst(rst), .en(en), .count(count));
    shifter sh (.clk(clk), .din(din), .oe(oe), .q(q), .state(state));

    always #5 clk = ~clk;

    task show;
        begin
        $strobe("CHECK %0t tb.count %b", $time, count);
        $strobe("CHECK %0t tb.q %b", $time, q);
        $strobe("CHECK %0t tb.sh.state %b", $time, state);
        $strobe("CHECK %0t tb.en %b", $time, en);
        $strobe("REAL %0t tb.level %0.6f", $time, level);
        end
    endtask

    initial begin
        $dumpfile("vcd_tb.vcd");
        $dumpvars(0, tb);
        show;          // count and state are x before the first clock
        #3 show;       // irregular times: 3, 10, 17, ...
        #7 rst = 0;
        show;
        #2 en = 1; din = 1;
        #1 show;
        for (step = 0; step < 12; step = step + 1) begin
            #7 din = step[0];
            level = level + 0.125 * step;
            if (step == 5) oe = 1;
            if (step == 9) en = 0;
            #1 show;
        end
        #40 show;
        $finish;
    end
endmodule
