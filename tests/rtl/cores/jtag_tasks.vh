// JTAG and hub tasks shared by the core testbenches. Include inside the
// testbench module after declaring: reg tck, tms, tdi; wire tdo.
// TCK is driven only by these tasks (period TCK_HALF*2); the design clock
// runs on its own in each testbench.

`ifndef TCK_HALF
`define TCK_HALF 10
`endif

localparam integer JW_MAX = 4200;      // 32-bit words a scan may carry
reg [31:0] jw_in [0:JW_MAX-1];
reg [31:0] jw_out [0:JW_MAX-1];
integer errors = 0;
integer checks = 0;

task check;
  input cond;
  input [8*96-1:0] what;
  begin
    checks = checks + 1;
    if (!cond) begin
      errors = errors + 1;
      $display("FAIL: %0s (t=%0t)", what, $time);
    end
  end
endtask

task check_eq;
  input [63:0] got;
  input [63:0] want;
  input [8*96-1:0] what;
  begin
    checks = checks + 1;
    if (got !== want) begin
      errors = errors + 1;
      $display("FAIL: %0s: got %h, want %h (t=%0t)", what, got, want, $time);
    end
  end
endtask

task finish_tb;
  begin
    if (errors == 0) begin
      $display("PASS (%0d checks, %0t)", checks, $time);
      $finish;
    end else
      $fatal(1, "FAIL: %0d of %0d checks", errors, checks);
  end
endtask

// One TCK cycle: TMS/TDI set while TCK is low, TDO sampled before the rising edge.
task jtag_step;
  input tms_v;
  input tdi_v;
  output tdo_v;
  begin
    tms = tms_v;
    tdi = tdi_v;
    #(`TCK_HALF);
    tdo_v = tdo;
    tck = 1'b1;
    #(`TCK_HALF);
    tck = 1'b0;
  end
endtask

task jtag_clocks;   // n cycles with the given TMS
  input tms_v;
  input integer n;
  integer k;
  reg dummy;
  begin
    for (k = 0; k < n; k = k + 1) jtag_step(tms_v, 1'b0, dummy);
  end
endtask

task jtag_reset;    // to Test-Logic-Reset by TMS, then Run-Test/Idle
  begin
    jtag_clocks(1'b1, 5);
    jtag_clocks(1'b0, 1);
  end
endtask

// From Run-Test/Idle: shift a 4-bit instruction, back to Run-Test/Idle.
task jtag_ir;
  input [3:0] ir;
  output [3:0] captured;
  integer k;
  reg b;
  begin
    jtag_step(1'b1, 1'b0, b);   // Select-DR
    jtag_step(1'b1, 1'b0, b);   // Select-IR
    jtag_step(1'b0, 1'b0, b);   // Capture-IR
    jtag_step(1'b0, 1'b0, b);   // Shift-IR
    for (k = 0; k < 4; k = k + 1) begin
      jtag_step(k == 3, ir[k], b);
      captured[k] = b;
    end
    jtag_step(1'b1, 1'b0, b);   // Update-IR
    jtag_step(1'b0, 1'b0, b);   // Run-Test/Idle
  end
endtask

// From Run-Test/Idle: shift nbits from jw_in (bit i = jw_in[i/32][i%32])
// and collect TDO into jw_out, back to Run-Test/Idle.
task jtag_dr;
  input integer nbits;
  integer k;
  reg b;
  begin
    jtag_step(1'b1, 1'b0, b);   // Select-DR
    jtag_step(1'b0, 1'b0, b);   // Capture-DR
    jtag_step(1'b0, 1'b0, b);   // Shift-DR
    for (k = 0; k < nbits; k = k + 1) begin
      jtag_step(k == nbits - 1, jw_in[k / 32][k % 32], b);
      jw_out[k / 32][k % 32] = b;
    end
    jtag_step(1'b1, 1'b0, b);   // Update-DR
    jtag_step(1'b0, 1'b0, b);   // Run-Test/Idle
  end
endtask

// Hub access (the TAP's USER1 instruction must be current).
function [31:0] hub_header;
  input [5:0] core;
  input [15:0] addr;
  input wr;
  input incr;
  input [7:0] count;
  hub_header = {count, incr, wr, core, addr};
endfunction

// Write jw_in[1..n] to n bus words of a core in one scan.
task hub_write;
  input [5:0] core;
  input [15:0] addr;
  input incr;
  input integer n;
  begin
    jw_in[0] = hub_header(core, addr, 1'b1, incr, 8'd0);
    jtag_dr(32 * (n + 1));
  end
endtask

// Read n bus words of a core in one scan; the words land in jw_out[2..n+1].
task hub_read;
  input [5:0] core;
  input [15:0] addr;
  input incr;
  input integer n;
  integer k;
  begin
    jw_in[0] = hub_header(core, addr, 1'b0, incr, 8'd0);
    for (k = 1; k <= n + 1; k = k + 1) jw_in[k] = 32'h0;
    jtag_dr(32 * (n + 2));
    check_eq(jw_out[1], jw_in[0], "hub echoes the header");
  end
endtask

task reg_wr;
  input [5:0] core;
  input [15:0] addr;
  input [31:0] data;
  begin
    jw_in[1] = data;
    hub_write(core, addr, 1'b0, 1);
  end
endtask

task reg_rd;
  input [5:0] core;
  input [15:0] addr;
  output [31:0] data;
  begin
    hub_read(core, addr, 1'b0, 1);
    data = jw_out[2];
  end
endtask
