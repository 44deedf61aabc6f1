// Debug hub: serves up to 64 cores through one user data register.
//
// A DR scan is a stream of 32-bit frames, least significant bit first.
// The first frame after Capture-DR is a header:
//   [15:0]  bus address of the first data frame
//   [21:16] core index (bus_sel bit)
//   [22]    1: the data frames write, 0: they read
//   [23]    1: the address increments after each data frame
//   [31:24] number of data frames that follow (0: all frames to the end
//           of the scan); after that many, the next frame is a header again
// The hub shifts one 32-bit register: at every frame boundary it takes in
// the finished frame and loads the word to shift out during the next frame,
// so each frame returns the result of the frame before it:
//   first frame of a scan:   the hub word (see HUB_WORD)
//   after a header:          the header itself (an echo to check the chain)
//   after a write frame:     the word written
//   after a read frame:      the word read
// A read is issued when its frame starts and the core has the whole frame
// (32 TCK cycles) to answer, so reading N words takes one scan of
// 32*(N+2) bits. Reads must have no side effects: the hub reads one word
// ahead and discards it at the end of the scan.
//
// Bus timing (TCK domain): bus_addr/bus_wdata/bus_sel are stable while
// bus_we or bus_re is high for one cycle. A core writes at that edge, or
// registers its read data at that edge and holds bus_rdata until its next
// read; the hub samples bus_rdata at the end of the frame.
`default_nettype none
module ona_hub #(parameter integer N_CORES = 1)
  (input wire tck, input wire tdi, output wire tdo, input wire capture, input wire shift,
   input wire update, input wire sel, input wire reset,
   output wire [N_CORES-1:0] bus_sel, output wire [15:0] bus_addr, output wire [31:0] bus_wdata,
   output wire bus_we, output wire bus_re, input wire [N_CORES*32-1:0] bus_rdata);

  localparam [7:0] PROTOCOL = 8'd1;
  localparam [31:0] HUB_WORD = {16'h0A4B, PROTOCOL, N_CORES[7:0]};

  reg [31:0] sh;
  reg [4:0] bitn;
  reg in_data;            // 0: the next frame is a header
  reg [5:0] core;
  reg wr, incr;
  reg [7:0] left;         // data frames still to come; 0 with `endless`
  reg endless;
  reg [15:0] addr;        // address of the current data frame
  reg [15:0] a_r;
  reg [31:0] wd_r;
  reg we_r, re_r;

  wire [31:0] word = {tdi, sh[31:1]};   // the frame as it completes
  wire last_bit = (bitn == 5'd31);

  // Read data of the selected core (0 for an absent core).
  reg [31:0] rd;
  integer i;
  always @(*) begin
    rd = 32'h0;
    for (i = 0; i < N_CORES; i = i + 1)
      if (core == i[5:0]) rd = bus_rdata[32*i +: 32];
  end

  always @(posedge tck) begin
    we_r <= 1'b0;
    re_r <= 1'b0;
    if (reset) begin
      in_data <= 1'b0;
      bitn <= 5'd0;
      core <= 6'd0;
      wr <= 1'b0;
      incr <= 1'b0;
      left <= 8'd0;
      endless <= 1'b0;
      addr <= 16'd0;
      a_r <= 16'd0;
      wd_r <= 32'd0;
      sh <= HUB_WORD;
    end else if (sel && capture) begin
      sh <= HUB_WORD;
      bitn <= 5'd0;
      in_data <= 1'b0;
    end else if (sel && shift) begin
      bitn <= bitn + 5'd1;
      if (!last_bit) sh <= word;
      else if (!in_data) begin
        // a header has arrived
        sh <= word;
        core <= word[21:16];
        wr <= word[22];
        incr <= word[23];
        left <= word[31:24];
        endless <= (word[31:24] == 8'd0);
        addr <= word[15:0];
        in_data <= 1'b1;
        if (!word[22]) begin
          a_r <= word[15:0];
          re_r <= 1'b1;
        end
      end else begin
        // a data frame has arrived
        if (wr) begin
          sh <= word;
          a_r <= addr;
          wd_r <= word;
          we_r <= 1'b1;
        end else
          sh <= rd;
        addr <= addr + {15'd0, incr};
        if (!endless) left <= left - 8'd1;
        if (!endless && left == 8'd1) in_data <= 1'b0;
        else if (!wr) begin
          a_r <= addr + {15'd0, incr};
          re_r <= 1'b1;
        end
      end
    end
  end

  genvar g;
  generate
    for (g = 0; g < N_CORES; g = g + 1) begin : gsel
      assign bus_sel[g] = (core == g) && (we_r || re_r);
    end
  endgenerate

  assign tdo = sh[0];
  assign bus_addr = a_r;
  assign bus_wdata = wd_r;
  assign bus_we = we_r;
  assign bus_re = re_r;
  wire unused = update;
endmodule
`default_nettype wire
