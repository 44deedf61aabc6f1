// The generator's stimulus of the demo's uart_la under a test bench, dumped
// by Icarus Verilog for the capture to be compared with. rx_data's lowest
// bit is inverted in clock cycle +flip= (counted from 0, the first after
// reset); +clocks= clock cycles are simulated.
`timescale 1ns/1ps
module tb;
  reg clk = 0, rst = 1, flipped = 0;
  wire rx, tx, rx_valid;
  wire [2:0] state, bit_cnt;
  wire [7:0] data;
  wire [7:0] rx_data = data ^ {7'd0, flipped};
  integer clocks, flip, cycle = 0;
  demo_uart_la_stim dut(.clk(clk), .rst(rst), .rx(rx), .tx(tx), .state(state), .bit_cnt(bit_cnt),
                        .rx_data(data), .rx_valid(rx_valid));
  always #5 clk = ~clk;
  initial begin
    if (!$value$plusargs("clocks=%d", clocks)) clocks = 1000;
    if (!$value$plusargs("flip=%d", flip)) flip = -1;
    $dumpfile("sim.vcd");
    $dumpvars(1, tb);
    @(posedge clk) rst <= 0;
    repeat (clocks) begin
      flipped <= cycle == flip;
      cycle = cycle + 1;
      @(posedge clk);
    end
    $finish;
  end
endmodule
