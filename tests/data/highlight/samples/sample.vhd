library ieee;
use ieee.std_logic_1164.all;
entity counter is
  port (clk : in std_logic; q : out unsigned(7 downto 0));
end entity;
architecture rtl of counter is
begin
  tick: process (clk) begin
    if rising_edge(clk) and clk'event then -- edge
      q <= x"FF" + 16#0F# + '1';
    end if;
  end process;
end architecture;
